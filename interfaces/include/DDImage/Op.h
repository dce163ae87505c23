// Base class of every node's operator, and the plug-in registration record.
#pragma once

#include <DDImage/Export.h>

#include <cstddef>
#include <iosfwd>

namespace DD {
namespace Image {

class Node;  // the host's own handle of a node; opaque to ops
class Knob;
class Knob_Closure;
class ViewerContext;

class DDIMAGE_API Op {
public:
  // One record per node class, built by a plug-in's static initialisation.
  // The host fills in `path` with the plug-in's file before it constructs a
  // node of the class; plug-ins only read it.
  struct DDIMAGE_API Description {
    using Constructor = Op* (*)(Node*);

    const char* name;
    const char* path;
    Constructor constructor;

    Description(const char* name, Constructor constructor);
    ~Description();
    Description(const Description&) = delete;
    Description& operator=(const Description&) = delete;
  };

  // Writes the name of any op; set by the host.
  static void (*print_name_cb)(std::ostream& out, const Op* op);

  // ABI marker of this SDK generation: always the first virtual slot.
  virtual void DDImage_ABI_6_3_001();

  explicit Op(Node* node);
  virtual ~Op();
  Op(const Op&) = delete;
  Op& operator=(const Op&) = delete;

  virtual const char* Class() const = 0;
  virtual const char* displayName() const;
  virtual const char* node_help() const = 0;
  virtual const char* node_shape() const;
  virtual int minimum_inputs() const;
  virtual int maximum_inputs() const;
  virtual bool test_input(int n, Op* op) const;
  virtual const char* input_label(int n, char* buffer) const;
  virtual void knobs(Knob_Closure& f);
  virtual int knob_changed(Knob* k);
  virtual void build_handles(ViewerContext* ctx);
  virtual void draw_handle(ViewerContext* ctx);

  void validate(bool for_real = true);
  int inputs() const;
  Op* input(int n) const;
  void print_name(std::ostream& out) const;
  Knob* knob(const char* name) const;
  void build_knob_handles(ViewerContext* ctx);
  void add_draw_handle(ViewerContext* ctx);
  bool node_selected() const;

  Node* node() const { return node_; }

protected:
  virtual void _validate(bool for_real);

private:
  Node* node_;
  // Room the host keeps for itself in every op; fixes the size of Op.
  [[maybe_unused]] void* reserved_[30];
};

static_assert(offsetof(Op::Description, name) == 0, "class name is the record's first field");
static_assert(offsetof(Op::Description, path) == sizeof(void*),
              "plug-in path is the record's second pointer-sized field");

}  // namespace Image
}  // namespace DD
