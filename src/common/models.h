#pragma once
#include <string>
#include <string_view>

// The handheld models and the speed each switches the line to for a
// transfer; the connection itself is made at 115200 bit/s.
struct Model {
  std::string_view name;   // as the main window's list shows it
  std::string_view alias;  // what a command line takes as well
  long speed;              // bit/s
};
inline constexpr Model kModels[] = {{"NC3000", "NC3000", 921600}, {"2000系列", "2000", 230400}};

// The transfer speed of the model named exactly `name`; 0 for any other text.
constexpr long ModelSpeed(std::string_view name) {
  for (const Model& model : kModels)
    if (model.name == name) return model.speed;
  return 0;
}

// The model a command line names by its name or alias, NC3000 in any case;
// nothing for any other text.
const Model* ModelOnCommandLine(std::string_view text);

// The models as a command line's help lists them, the first the default.
std::string ModelChoices();
