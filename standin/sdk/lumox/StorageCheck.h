// The stand-in renderer's check that a caller keeps a declaration's storage
// until its transform scope ends: the arrays are kept from the declaration
// call and read again at LxTransformEnd.
#pragma once

#include <Lumox/Lumox.h>

#include <string>
#include <vector>

namespace standin {
namespace lumox {

class StorageCheck {
public:
  // Switching forgets every open scope: a scope opened before the check
  // was on has nothing kept to compare.
  void setOn(bool on);

  // A transform scope opened (only once LxTransformBegin has succeeded).
  void scopeBegins();
  // Reads the declaration's entries while they are valid; kept only inside
  // an open scope.
  void declared(const char* function, int count, const LxToken tokens[], const LxPointer values[]);
  // Closes the innermost open scope and reads its declarations' arrays
  // again: one line for each entry that reads differently now.
  std::vector<std::string> scopeEnds();

private:
  // What entry k of a declaration read during the call.
  struct Entry {
    LxToken token = nullptr;
    std::string declaration;  // the token's text, when not null
    std::string type;         // its first word
    LxPointer value = nullptr;
    std::string bytes;        // an int's, float's or color's bytes
    const char* text = nullptr;  // a string's cell
    std::string textBytes;       // the cell's text, when not null
  };
  struct Declaration {
    std::string function;
    const LxToken* tokens = nullptr;
    const LxPointer* values = nullptr;
    std::vector<Entry> entries;
  };

  static std::vector<std::string> changesIn(const Declaration& declaration);

  bool on_ = false;
  std::vector<std::vector<Declaration>> scopes_;  // innermost last
};

}  // namespace lumox
}  // namespace standin
