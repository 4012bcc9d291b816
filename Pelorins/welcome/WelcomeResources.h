#pragma once

class LayerClock;
class WelcomeArtwork;
class WelcomeFonts;

// What both welcome pages draw with: the clock their animations run on, the pictures and the
// fonts. The welcome window owns them for as long as it is open.
struct WelcomeResources
{
    LayerClock& clock;
    WelcomeArtwork& artwork;
    const WelcomeFonts& fonts;
};
