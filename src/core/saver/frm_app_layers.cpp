#include "saver/frm_app_layers.h"

MoviePlayer& FrmAppLayers::operator[](MovieLayer layer) const {
  switch (layer) {
    case MovieLayer::FlashLoad: return FlashLoad;
    case MovieLayer::Movie: return Movie;
    case MovieLayer::MovTitle:
    default: return MovTitle;
  }
}

FrmAppLayers AddFrmAppLayers(Compositor& compositor) {
  MoviePlayer& load = compositor.AddLayer("FlashLoad", LayerGroup::Cover);
  load.SetWMode(WindowMode::Window);
  load.SetPlayOnLoad(true);
  load.SetLoop(false);
  load.SetQuality(RenderQuality::High);
  load.SetMenu(true);
  load.SetScale(ScaleMode::ShowAll);
  load.SetBGColor(0x000000u);
  load.SetPlacement(16, 16, 113, 43);

  MoviePlayer& movie = compositor.AddLayer("Movie", LayerGroup::Scene);
  movie.SetWMode(WindowMode::Transparent);
  movie.SetPlayOnLoad(false);
  movie.SetLoop(true);
  movie.SetQuality(RenderQuality::AutoLow);
  movie.SetMenu(true);
  movie.SetScale(ScaleMode::ShowAll);

  MoviePlayer& title = compositor.AddLayer("MovTitle", LayerGroup::Scene);
  title.SetWMode(WindowMode::Transparent);
  title.SetPlayOnLoad(false);
  title.SetLoop(false);
  title.SetQuality(RenderQuality::AutoHigh);
  title.SetMenu(false);
  title.SetScale(ScaleMode::ExactFit);

  return FrmAppLayers{load, movie, title};
}
