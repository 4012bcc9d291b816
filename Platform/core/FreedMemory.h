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
    // Hands back to the system the free memory every thread's heap keeps, after work that freed
    // much at once (reading a store: the rows a loading thread read are freed once they became
    // objects, and none of it is reused by itself). Takes a few milliseconds.
    static void returnFreed();
};
