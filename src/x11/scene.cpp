#include "scene.h"

#include "saver/movie_frame.h"

Scene::Scene(const std::string& data_folder, const std::string& visualisation,
             const std::vector<uint32_t>& background, int background_w, int background_h, const Warn& warn)
    : layers_(AddFrmAppLayers(compositor_)) {
  compositor_.SetCoverVisible(false);
  if (!background.empty()) compositor_.SetBackground(background.data(), background_w, background_h);
  compositor_.SetBackgroundVisible(!background.empty());

  const std::string chosen = VisualisationPath(data_folder, visualisation);
  const std::string fallback = DefaultVisualisationPath(data_folder);
  layers_.Movie.LoadMovie(0, chosen);
  if (!layers_.Movie.Loaded()) {
    if (chosen != fallback) {
      warn("cannot play visualisation " + chosen + "; playing the default one");
      layers_.Movie.LoadMovie(0, fallback);
    }
    if (!layers_.Movie.Loaded()) warn("An important file is missing, please reinstall the ScreenSaver");
  }
  layers_.MovTitle.LoadMovie(0, data_folder + "/QrvTtl.is");
  layers_.Movie.Play();
  layers_.MovTitle.Play();
}

bool Scene::Resize(int width, int height) {
  if (!compositor_.Resize(width, height)) return false;
  const MovieFrame f = MovieFrameFor(width, height);
  layers_.Movie.SetPlacement(f.left, f.top, f.width, f.height);
  layers_.MovTitle.SetPlacement(0, 0, static_cast<float>(width), static_cast<float>(height));
  return true;
}

void Scene::SetQuality(QualityChoice quality) {
  switch (quality) {
    case QualityChoice::High:
      layers_.Movie.SetQuality(RenderQuality::High);
      layers_.MovTitle.SetQuality(RenderQuality::High);
      break;
    case QualityChoice::Low:
      layers_.Movie.SetQuality(RenderQuality::Low);
      layers_.MovTitle.SetQuality(RenderQuality::Low);
      break;
    case QualityChoice::Auto:
      // As on Windows: the visualisation starts at half resolution, the title at full.
      layers_.Movie.SetQuality(RenderQuality::AutoLow);
      layers_.MovTitle.SetQuality(RenderQuality::AutoHigh);
      break;
  }
}

void Scene::ApplyDrawLimits(const DrawLimits& limits) {
  for (size_t i = 0; i < compositor_.LayerCount(); ++i) {
    compositor_.LayerAt(i).SetDrawLimits(limits.max_fps, limits.max_render_scale);
  }
}
