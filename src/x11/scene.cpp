#include "scene.h"

#include "saver/movie_frame.h"

Scene::Scene(const std::string& data_folder, const std::string& visualisation,
             const std::vector<uint32_t>& background, int background_w, int background_h, const Warn& warn) {
  compositor_.SetCoverVisible(false);
  if (!background.empty()) compositor_.SetBackground(background.data(), background_w, background_h);
  compositor_.SetBackgroundVisible(!background.empty());

  const std::string chosen = VisualisationPath(data_folder, visualisation);
  const std::string fallback = DefaultVisualisationPath(data_folder);
  compositor_.Movie.LoadMovie(0, chosen);
  if (!compositor_.Movie.Loaded()) {
    if (chosen != fallback) {
      warn("cannot play visualisation " + chosen + "; playing the default one");
      compositor_.Movie.LoadMovie(0, fallback);
    }
    if (!compositor_.Movie.Loaded()) warn("An important file is missing, please reinstall the ScreenSaver");
  }
  compositor_.MovTitle.LoadMovie(0, data_folder + "/QrvTtl.is");
  compositor_.Movie.Play();
  compositor_.MovTitle.Play();
}

bool Scene::Resize(int width, int height) {
  if (!compositor_.Resize(width, height)) return false;
  const MovieFrame f = MovieFrameFor(width, height);
  compositor_.Movie.SetPlacement(f.left, f.top, f.width, f.height);
  compositor_.MovTitle.SetPlacement(0, 0, static_cast<float>(width), static_cast<float>(height));
  return true;
}

void Scene::SetBudget(const DrawBudget& budget) {
  compositor_.Movie.SetQuality(budget.movie_quality);
  compositor_.MovTitle.SetQuality(budget.title_quality);
}
