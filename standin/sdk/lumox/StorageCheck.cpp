#include "StorageCheck.h"

#include "RibWriter.h"

#include <standin/lumox/RibOutput.h>

#include <cstdint>
#include <cstring>
#include <string_view>

namespace standin {
namespace lumox {

namespace {

// Bytes a value of this type occupies; 0 for types read only by address.
std::size_t valueSize(const std::string& type) {
  if (type == "int" || type == "float") {
    return 4;
  }
  if (type == "color") {
    return 12;
  }
  return 0;
}

std::string describeValue(const std::string& type, const std::string& bytes) {
  if (type == "int") {
    std::int32_t value = 0;
    std::memcpy(&value, bytes.data(), sizeof value);
    return std::to_string(value);
  }
  std::string text;
  for (std::size_t at = 0; at + sizeof(float) <= bytes.size(); at += sizeof(float)) {
    float value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    text += (text.empty() ? "" : " ") + ribFloat(value);
  }
  return text;
}

// The text at `at`, reading no further than the `kept` bytes (and their
// NUL) that were there during the call.
bool textChanged(const char* at, const std::string& kept) {
  return std::memcmp(at, kept.c_str(), kept.size() + 1) != 0;
}

std::string textNow(const char* at, const std::string& kept) {
  const void* end = std::memchr(at, '\0', kept.size() + 1);
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - at) : kept.size() + 1;
  return ribString(std::string_view(at, length));
}

}  // namespace

void StorageCheck::setOn(bool on) {
  on_ = on;
  scopes_.clear();
}

void StorageCheck::scopeBegins() {
  if (on_) {
    scopes_.emplace_back();
  }
}

void StorageCheck::declared(const char* function, int count, const LxToken tokens[], const LxPointer values[]) {
  if (scopes_.empty() || tokens == nullptr || values == nullptr) {
    return;
  }
  Declaration declaration;
  declaration.function = function;
  declaration.tokens = tokens;
  declaration.values = values;
  for (int k = 0; k < count; ++k) {
    Entry entry;
    entry.token = tokens[k];
    entry.value = values[k];
    if (entry.token != nullptr) {
      entry.declaration = entry.token;
      entry.type = entry.declaration.substr(0, entry.declaration.find(' '));
    }
    if (entry.value != nullptr) {
      if (entry.type == "string") {
        entry.text = *static_cast<const char* const*>(entry.value);
        if (entry.text != nullptr) {
          entry.textBytes = entry.text;
        }
      } else {
        entry.bytes.assign(static_cast<const char*>(entry.value), valueSize(entry.type));
      }
    }
    declaration.entries.push_back(std::move(entry));
  }
  scopes_.back().push_back(std::move(declaration));
}

std::vector<std::string> StorageCheck::scopeEnds() {
  std::vector<std::string> changes;
  if (scopes_.empty()) {
    return changes;
  }
  for (const Declaration& declaration : scopes_.back()) {
    for (std::string& change : changesIn(declaration)) {
      changes.push_back(std::move(change));
    }
  }
  scopes_.pop_back();
  return changes;
}

// Pointers are compared before anything is read through them: a pointer
// that changed may lead anywhere.
std::vector<std::string> StorageCheck::changesIn(const Declaration& declaration) {
  std::vector<std::string> changes;
  for (std::size_t k = 0; k < declaration.entries.size(); ++k) {
    const Entry& entry = declaration.entries[k];
    const std::string where = declaration.function + " entry " + std::to_string(k) + " " +
                              (entry.token != nullptr ? ribString(entry.declaration) : "(null)") + ": ";
    const LxToken token = declaration.tokens[k];
    if (token != entry.token) {
      changes.push_back(where + "the token array holds another pointer");
    } else if (token != nullptr && textChanged(token, entry.declaration)) {
      changes.push_back(where + "the declaration reads " + textNow(token, entry.declaration) + " now");
    }

    const LxPointer value = declaration.values[k];
    if (value != entry.value) {
      changes.push_back(where + "the value array holds another pointer");
      continue;
    }
    if (value == nullptr) {
      continue;
    }
    if (entry.type == "string") {
      const char* text = *static_cast<const char* const*>(value);
      if (text != entry.text) {
        changes.push_back(where + "the string cell holds another pointer");
      } else if (text != nullptr && textChanged(text, entry.textBytes)) {
        changes.push_back(where + "the text was " + ribString(entry.textBytes) + ", reads " +
                          textNow(text, entry.textBytes) + " now");
      }
    } else if (!entry.bytes.empty() && std::memcmp(value, entry.bytes.data(), entry.bytes.size()) != 0) {
      const std::string now(static_cast<const char*>(value), entry.bytes.size());
      changes.push_back(where + "the value was " + describeValue(entry.type, entry.bytes) + ", reads " +
                        describeValue(entry.type, now) + " now");
    }
  }
  return changes;
}

}  // namespace lumox
}  // namespace standin
