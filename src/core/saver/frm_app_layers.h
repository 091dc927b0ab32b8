#pragma once
// The screensaver window's movie layers, as its design lays them out:
//  - FlashLoad, the loader on the black loading cover: Window, plays on load,
//    no loop, High, ShowAll, BGColor 000000, at (16, 16) 113 x 43;
//  - Movie, the visualisation: Transparent, stopped on load, loops, AutoLow,
//    ShowAll; placed by the window's logic;
//  - MovTitle, the title over the whole client area: Transparent, stopped on
//    load, no loop, AutoHigh, ExactFit; sized by the window's logic.
// Movie lies under MovTitle, both over the background.
#include "movie/compositor.h"
#include "saver/frm_app_logic.h"

struct FrmAppLayers {
  MoviePlayer& FlashLoad;
  MoviePlayer& Movie;
  MoviePlayer& MovTitle;
  MoviePlayer& operator[](MovieLayer layer) const;
};

// Adds the three layers to the compositor, with their design settings.
FrmAppLayers AddFrmAppLayers(Compositor& compositor);
