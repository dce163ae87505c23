// The node's control panel.
#include "LumoxIndirect.h"

#include <DDImage/Knobs.h>

namespace lumoxindirect {

using namespace DD::Image;

namespace {

constexpr const char* kExposureTip =
    "The exposure in stops.\n"
    "Light intensity doubles/halves with each increment/decrement by 1.0.\n"
    "\n"
    "If you make this a negative number, the light will suck (subtract)  light instead of adding it.";

constexpr const char* kFalloffTip =
    "The falloff exponent.\n"
    "Light intensity diminishes inversely proportional to the distance raised to this value.\n"
    "Some example values:<blockquote><b>0</b> No falloff, the light intensity does not diminish with "
    "distance.\n"
    "<b>1</b> Linear falloff, the light intensity diminishes linearly with distance.\n"
    "<b>2</b> Quadratic falloff, the light intensity diminishes quadratic with distance.\n"
    "<i>This is the only physically correct value that models the behavior of light in "
    "reality.</i></blockquote>";

constexpr const char* kBiasTip = "Offset added to the surface to avoid self-shadowing artifacts.";

constexpr const char* kMaxDistanceTip =
    "Maxiumum distance the light will cast shadows.\nIn scene units (world).";

constexpr const char* kCategoryTip =
    "The light categories this light belongs to.\n"
    "A renderer links lights to the objects they may light by category.\n"
    "Separate several categories with spaces or commas; in each name, every character that is not a letter "
    "or a digit becomes an underscore.";

}  // namespace

void LumoxIndirect::knobs(Knob_Closure& f) {
  f(INT_KNOB, IntPtr, &samples, "samples", "samples", nullptr);
  SetRange(f, 0, 1000);
  SetFlags(f, FORCE_RANGE);

  f(INT_KNOB, IntPtr, &bounces, "bounces", "bounces", nullptr);
  SetRange(f, 1, 3);
  SetFlags(f, FORCE_RANGE);

  f(TEXT_KNOB, NoStorage, nullptr, nullptr, " ", nullptr);

  f(COLOR_KNOB, FloatPtr, color, "color", "color", nullptr);

  // The host's own intensity control means nothing to this light.
  if (Knob* intensity = knob("intensity")) {
    intensity->visible(false);
  }

  f(FLOAT_KNOB, FloatPtr, &exposure, "exposure", "exposure", nullptr);
  SetRange(f, -10, 10);
  ClearFlags(f, LOG_SLIDER);
  SetFlags(f, BIPOLAR);
  Tooltip(f, kExposureTip);

  f(FLOAT_KNOB, FloatPtr, &falloff, "falloff", "falloff", nullptr);
  SetRange(f, 0, 3);
  ClearFlags(f, BIPOLAR);
  Tooltip(f, kFalloffTip);

  f(TEXT_KNOB, NoStorage, nullptr, nullptr, " ", nullptr);

  f(FLOAT_KNOB, FloatPtr, &bias, "bias", "bias", nullptr);
  Tooltip(f, kBiasTip);

  f(FLOAT_KNOB, FloatPtr, &max_distance, "max_distance", "max. distance", nullptr);
  Tooltip(f, kMaxDistanceTip);

  f(TEXT_KNOB, NoStorage, nullptr, nullptr, nullptr, nullptr);

  // Last, so the controls above keep the positions saved scripts know.
  f(STRING_KNOB, StringPtr, &category_text, "category", "category", nullptr);
  Tooltip(f, kCategoryTip);
}

}  // namespace lumoxindirect
