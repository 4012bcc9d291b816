#pragma once

// How the process's allocator treats large blocks once they are freed.
class FreedMemory
{
public:
    // Keeps freed blocks of up to tens of megabytes for the next ones instead of handing them
    // back to the system at once. Memory fresh from the system is faulted in page by page, which
    // costs far more than its use here: writing a PDF takes and frees buffers of megabytes for
    // each page, and spent most of its time faulting them in. Called once, before anything else.
    static void keepForReuse();
};
