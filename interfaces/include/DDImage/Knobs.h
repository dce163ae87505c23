// Controls ("knobs") and the callback through which an op declares them.
#pragma once

#include <DDImage/Export.h>

#include <cstdint>

namespace DD {
namespace Image {

// Control kinds, as the first code of a declaration.
enum KnobType : int {
  STRING_KNOB = 1, // one line of text
  INT_KNOB = 3,    // one integer
  FLOAT_KNOB = 8,  // one float
  COLOR_KNOB = 18, // red, green, blue
  TEXT_KNOB = 26,  // a label only, or a separator line when it has no label
};

// How a control's value is stored in the op, as the second code.
enum StoreType : int {
  FloatPtr = 1,  // float, or three floats for a color
  IntPtr = 3,    // int
  StringPtr = 5, // const char*: the host keeps the text and points the member
                 // at it; the op only reads it, and must not keep the pointer
                 // past the next change of the control
  NoStorage = 17,
};

// Control option bits.
enum KnobFlag : std::uint64_t {
  FORCE_RANGE = 2,  // the host clamps typed values into the range
  BIPOLAR = 4,      // the slider is centred on zero
  LOG_SLIDER = 16,  // the slider is logarithmic
};

class DDIMAGE_API Knob {
public:
  virtual ~Knob();
  virtual const char* name() const = 0;
  virtual void visible(bool shown) = 0;
  bool is(const char* name) const;
};

// The host's control-building callback, given to Op::knobs. The range, flag
// and tooltip functions below apply to the control declared last.
class DDIMAGE_API Knob_Closure {
public:
  virtual ~Knob_Closure();
  virtual Knob* operator()(int type, int storage, void* pointer, const char* name,
                           const char* label, const void* extra) = 0;

  virtual void range(double minimum, double maximum) = 0;
  virtual void setFlags(std::uint64_t mask) = 0;
  virtual void clearFlags(std::uint64_t mask) = 0;
  virtual void tooltip(const char* text) = 0;
};

DDIMAGE_API void SetRange(Knob_Closure& f, double minimum, double maximum);
DDIMAGE_API void SetFlags(Knob_Closure& f, std::uint64_t mask);
DDIMAGE_API void ClearFlags(Knob_Closure& f, std::uint64_t mask);
DDIMAGE_API void Tooltip(Knob_Closure& f, const char* text);

}  // namespace Image
}  // namespace DD
