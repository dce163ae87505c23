#include <standin/ddimage/BuiltinOps.h>

namespace standin {
namespace ddimage {

namespace {

DD::Image::Op* buildConstant(DD::Image::Node* node) {
  return new Constant(node);
}

DD::Image::Op* buildCard(DD::Image::Node* node) {
  return new Card(node);
}

DD::Image::Op::Description constantDescription(Constant::kClass, buildConstant);
DD::Image::Op::Description cardDescription(Card::kClass, buildCard);

}  // namespace

const char* const Constant::kClass = "Constant";
const char* const Card::kClass = "Card";

Constant::Constant(DD::Image::Node* node) : DD::Image::Iop(node) {}

const char* Constant::Class() const {
  return kClass;
}

const char* Constant::node_help() const {
  return "A flat color image.";
}

int Constant::maximum_inputs() const {
  return 0;
}

Card::Card(DD::Image::Node* node) : DD::Image::AxisOp(node) {}

const char* Card::Class() const {
  return kClass;
}

const char* Card::node_help() const {
  return "A flat card in the 3D scene.";
}

int Card::maximum_inputs() const {
  return 0;
}

}  // namespace ddimage
}  // namespace standin
