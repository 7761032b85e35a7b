#include "common/models.h"

#include <algorithm>

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

const Model* ModelOnCommandLine(std::string_view text) {
  for (const Model& model : kModels)
    if (model.name == text || SameIgnoringCase(model.alias, text)) return &model;
  return nullptr;
}

std::string ModelChoices() {
  std::string text;
  for (const Model& model : kModels) {
    if (!text.empty()) text += " or ";
    text += std::string(model.name) + " (";
    if (model.alias != model.name) text += "also " + std::string(model.alias) + ", ";
    text += std::to_string(model.speed) + " bit/s" + (&model == kModels ? ", the default)" : ")");
  }
  return text;
}
