// The script reader on its own: what it makes of valid scripts, where it
// reports each syntax error, and that no bytes make it misbehave.
#include <ddhost/ScriptReader.h>
#include <ddhost/ScriptStream.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace {

using ddhost::KnobLine;
using ddhost::NodeBlock;
using ddhost::Push;
using ddhost::Script;
using ddhost::ScriptReader;
using ddhost::ScriptError;
using ddhost::Value;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// What a script reads to views its bytes: these are literals, which stay.
Script read(std::string_view text) {
  ddhost::ReadResult result = ddhost::readScript(text);
  if (const auto* error = std::get_if<ScriptError>(&result)) {
    throw std::runtime_error("line " + std::to_string(error->line) + ": " + error->message);
  }
  return std::get<Script>(std::move(result));
}

const NodeBlock& node(const Script& script, std::size_t index) {
  return std::get<NodeBlock>(script.statements.at(index));
}

std::size_t lineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

TEST(ScriptReader, ReadsNodesKnobsAndPushesInOrder) {
  const Script script = read(
      "# a scene\n"
      "Constant {\n"
      " name Plate1   # trailing comment\n"
      "}\n"
      "\n"
      "push 0\n"
      "push $Plate1\n"
      "LumoxIndirect {\n"
      " color {1 0.5  0.25}\n"
      " label \"say \\\"hi\\\" \\\\ bye\"\n"
      " samples 8 }\n");
  ASSERT_EQ(script.statements.size(), 4u);

  const NodeBlock& constant = node(script, 0);
  EXPECT_EQ(constant.className, "Constant");
  EXPECT_EQ(constant.line, 2u);
  ASSERT_EQ(constant.knobs.size(), 1u);
  EXPECT_EQ(constant.knobs[0].name, "name");
  EXPECT_EQ(constant.knobs[0].value.text, "Plate1");
  EXPECT_EQ(constant.knobs[0].line, 3u);

  const Push& empty = std::get<Push>(script.statements[1]);
  EXPECT_FALSE(empty.name.has_value());
  EXPECT_EQ(empty.line, 6u);
  const Push& named = std::get<Push>(script.statements[2]);
  EXPECT_EQ(named.name, "Plate1");
  EXPECT_EQ(named.line, 7u);

  const NodeBlock& light = node(script, 3);
  EXPECT_EQ(light.line, 8u);
  ASSERT_EQ(light.knobs.size(), 3u);
  EXPECT_EQ(light.knobs[0].value.kind, Value::Kind::List);
  EXPECT_THAT(light.knobs[0].value.items(), ElementsAre("1", "0.5", "0.25"));
  EXPECT_EQ(light.knobs[1].value.kind, Value::Kind::String);
  EXPECT_EQ(light.knobs[1].value.text, "say \"hi\" \\ bye");
  EXPECT_EQ(light.knobs[2].value.kind, Value::Kind::Word);
  EXPECT_EQ(light.knobs[2].value.text, "8");
  EXPECT_EQ(light.knobs[2].line, 11u);
}

TEST(ScriptReader, CountsLinesAcrossCrLfAndMultiLineStrings) {
  const Script script = read("Constant {\r\n name \"two\nlines\"\r\n xpos 1\r\n}\r\nCard {\r\n}\r\n");
  ASSERT_EQ(script.statements.size(), 2u);
  EXPECT_EQ(node(script, 0).knobs[0].value.text, "two\nlines");
  EXPECT_EQ(node(script, 0).knobs[1].line, 4u);
  EXPECT_EQ(node(script, 1).line, 6u);
}

TEST(ScriptReader, EmptyAndCommentOnlyScriptsHoldNothing) {
  EXPECT_TRUE(read("").statements.empty());
  EXPECT_TRUE(read("\n  # nothing\n\t\n").statements.empty());
}

TEST(ScriptReader, ReportsEachSyntaxErrorAtItsLine) {
  struct Case {
    const char* script;
    std::size_t line;
    const char* message;
  };
  const Case cases[] = {
      {"Constant {\n}\n}\n", 3, "unbalanced '}'"},
      {"Constant {\n {1 2}\n}\n", 2, "unbalanced '{'"},
      {"{\n", 1, "'{' with no node class"},
      {"Constant {\n color {1 2\n}\n", 2, "unbalanced '{'"},
      {"Constant {\n color {1 {2} 3}\n}\n", 2, "lists do not nest"},
      {"Constant {\n name Plate1\n", 1, "unterminated block of \"Constant\""},
      {"Constant {\n", 1, "unterminated block"},
      {"\n\nConstant {\n name \"Plate1\n}\n", 4, "unterminated string"},
      {"Constant {\n name \"a\\", 2, "unterminated string"},
      {"Constant {\n name \"a\\n\"\n}\n", 2, "unknown escape"},
      {"Constant\n{\n}\n", 1, "expected '{' after \"Constant\""},
      {"Constant {\n name\n}\n", 2, "knob \"name\" has no value"},
      {"Constant {\n name }\n", 2, "has no value"},
      {"Constant {\n name A B\n}\n", 2, "unexpected text after the value of \"name\""},
      {"Constant {\n name A\n name B\n}\n", 3, "knob \"name\" is given twice"},
      {"Constant {\n \"name\" A\n}\n", 2, "expected a knob name"},
      {"\"Constant\" {\n}\n", 1, "expected a node class or push"},
      {"Constant {\n} Card {\n}\n", 2, "unexpected text after '}'"},
      {"push\n", 1, "push takes 0 or $NAME"},
      {"push 1\n", 1, "push takes 0 or $NAME, not \"1\""},
      {"push $\n", 1, "push takes 0 or $NAME"},
      {"push 0 0\n", 1, "unexpected text after push"},
      {"Constant {\n color {1 \"2\" 3}\n}\n", 2, "a list holds words"},
      {"Con\x01stant {\n}\n", 1, "unexpected control character 0x01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const ddhost::ReadResult result = ddhost::readScript(c.script);
    const auto* error = std::get_if<ScriptError>(&result);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->line, c.line);
    EXPECT_THAT(error->message, HasSubstr(c.message));
  }
}

std::string blockOfKnobs(std::size_t distinct, std::optional<std::size_t> repeated) {
  std::string text = "Card {\n";
  for (std::size_t i = 0; i < distinct; ++i) {
    text += " k" + std::to_string(i) + " 1\n";
  }
  if (repeated) {
    text += " k" + std::to_string(*repeated) + " 2\n";
  }
  return text + "}\n";
}

// Short blocks are searched directly, long ones through an index; the
// repeat is found, at its own line, on either side of the switch.
TEST(ScriptReader, FindsARepeatedKnobInBlocksOfAnySize) {
  for (const std::size_t distinct : {1u, 15u, 16u, 17u, 40u, 5000u}) {
    for (const std::size_t repeated : {std::size_t{0}, distinct / 2, distinct - 1}) {
      SCOPED_TRACE(std::to_string(distinct) + " knobs, repeating k" + std::to_string(repeated));
      const ScriptError error = std::get<ScriptError>(ddhost::readScript(blockOfKnobs(distinct, repeated)));
      EXPECT_EQ(error.line, distinct + 2);
      EXPECT_EQ(error.message, "knob \"k" + std::to_string(repeated) + "\" is given twice");
    }
    const std::string unique = blockOfKnobs(distinct, std::nullopt);
    const ddhost::ReadResult read = ddhost::readScript(unique);
    ASSERT_TRUE(std::holds_alternative<Script>(read)) << std::get<ScriptError>(read).message;
    EXPECT_EQ(std::get<NodeBlock>(std::get<Script>(read).statements.at(0)).knobs.size(), distinct);
  }
}

// The index of a long block is not carried over to the next block.
TEST(ScriptReader, KnobsOfOneBlockDoNotRepeatThoseOfAnother) {
  const std::string script = blockOfKnobs(100, std::nullopt) + blockOfKnobs(3, std::nullopt) +
                             blockOfKnobs(50, std::nullopt) + blockOfKnobs(20, 19);
  const ScriptError error = std::get<ScriptError>(ddhost::readScript(script));
  EXPECT_EQ(error.line, 102u + 5u + 52u + 22u);
  EXPECT_EQ(error.message, "knob \"k19\" is given twice");
}

// Unescaped strings are kept by the script, and stay valid when it moves.
TEST(ScriptReader, UnescapedStringsMoveWithTheScript) {
  std::vector<Script> scripts;
  for (int i = 0; i < 20; ++i) {
    scripts.push_back(read("Card {\n label \"a \\\"quoted\\\" word\"\n note plain\n}\n"));
  }
  for (const Script& script : scripts) {
    EXPECT_EQ(node(script, 0).knobs[0].value.text, "a \"quoted\" word");
    EXPECT_EQ(node(script, 0).knobs[1].value.text, "plain");
  }
}

// What a reader reads, as text: each statement with its lines, then the
// error that ended it, if any.
template <typename Reader>
std::vector<std::string> transcript(Reader& reader) {
  std::vector<std::string> into;
  try {
    while (reader.next()) {
      if (const NodeBlock* block = reader.node()) {
        into.push_back(std::string(block->className) + "@" + std::to_string(block->line));
        for (const KnobLine& knob : block->knobs) {
          into.push_back(std::string(knob.name) + "=" + std::string(knob.value.text) + "@" + std::to_string(knob.line));
        }
      } else {
        into.push_back("push " + std::string(reader.push()->name.value_or("0")) + "@" +
                       std::to_string(reader.push()->line));
      }
    }
  } catch (const ScriptError& error) {
    into.push_back("error@" + std::to_string(error.line) + ": " + error.message);
  }
  return into;
}

// `script` streamed `chunk` bytes at a time (or fewer: `uneven` hands out
// 1, 2, 3... bytes per read, as a pipe may). Records the largest request.
std::vector<std::string> streamed(const std::string& script, std::size_t chunk, bool uneven,
                                  std::size_t* largestRequest = nullptr) {
  std::size_t at = 0;
  std::size_t turn = 0;
  ddhost::ScriptStream stream(
      [&](char* into, std::size_t size) {
        if (largestRequest != nullptr) {
          *largestRequest = std::max(*largestRequest, size);
        }
        const std::size_t n = std::min({size, script.size() - at, uneven ? 1 + turn++ % 5 : size});
        std::memcpy(into, script.data() + at, n);
        at += n;
        return n;
      },
      chunk);
  return transcript(stream);
}

// The stream holds a statement only once it has all of it: whatever the
// cuts between reads, the same statements at the same lines, and the same
// first error, as the script read whole. Every cut of a valid script and
// byte flips of it, from a fixed seed.
TEST(ScriptStream, ReadsAsTheWholeScriptWhereverTheReadsCutIt) {
  const std::string valid =
      "# pieces\nConstant {\n name \"P\\\"1\"\n}\n\npush $P # comment\nLumoxIndirect {\n color {1 2 3}\n"
      " label \"two\nlines\"\n}\npush 0\n# a comment # with hashes\nCard {\n} # end\n#";
  std::vector<std::string> scripts;
  for (std::size_t cut = 0; cut <= valid.size(); ++cut) {
    scripts.push_back(valid.substr(0, cut));
  }
  const std::string alphabet = "{}\"\\# \n\r$0\x01a";
  std::uint32_t seed = 4321;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int round = 0; round < 300; ++round) {
    std::string bytes = valid;
    for (int flips = 1 + static_cast<int>(next() % 3); flips > 0; --flips) {
      bytes[next() % bytes.size()] = alphabet[next() % alphabet.size()];
    }
    scripts.push_back(bytes);
  }
  for (const std::string& script : scripts) {
    ScriptReader whole(script);
    const std::vector<std::string> expected = transcript(whole);
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{16}, std::size_t{1} << 20}) {
      EXPECT_EQ(streamed(script, chunk, false), expected) << "chunks of " << chunk << ":\n" << script;
    }
    EXPECT_EQ(streamed(script, 8, true), expected) << "uneven reads:\n" << script;
  }
  ScriptReader whole(valid);
  EXPECT_EQ(transcript(whole).size(), 8u);
}

// Comments and blank lines are dropped as they are read, however many;
// only a statement longer than a read is held whole.
TEST(ScriptStream, HoldsNoMoreThanOneStatement) {
  std::string comments;
  while (comments.size() < 100000) {
    comments += "# a comment line that is long enough to span several reads of the stream\n\n";
  }
  const std::size_t pushLine = lineCount(comments);
  std::size_t largest = 0;
  EXPECT_EQ(streamed(comments + "push 0\n", 64, false, &largest),
            std::vector<std::string>{"push 0@" + std::to_string(pushLine)});
  EXPECT_EQ(largest, 64u);

  std::string block = "Card {\n";
  for (int k = 0; k < 100; ++k) {
    block += " k" + std::to_string(k) + " 1\n";
  }
  block += "}\n";
  largest = 0;
  const std::vector<std::string> read = streamed(comments + block, 64, false, &largest);
  ASSERT_EQ(read.size(), 101u);
  EXPECT_GE(largest, 64u);
  EXPECT_LT(largest, 4 * block.size());
}

// Any bytes: the reader returns, and an error's line is one the input has.
// Every cut of a valid script, then byte flips of it from a fixed seed.
TEST(ScriptReader, AnyBytesGiveAScriptOrAnErrorOnAnExistingLine) {
  const std::string valid =
      "# scene\nConstant {\n name \"P\\\"1\"\n}\npush $P\nLumoxIndirect {\n color {1 0.5 0.25}\n samples 8\n}\npush 0\n";
  auto check = [](const std::string& bytes) {
    const ddhost::ReadResult result = ddhost::readScript(bytes);
    if (const auto* error = std::get_if<ScriptError>(&result)) {
      EXPECT_GE(error->line, 1u) << bytes;
      EXPECT_LE(error->line, lineCount(bytes)) << bytes;
      EXPECT_FALSE(error->message.empty()) << bytes;
    }
  };
  for (std::size_t cut = 0; cut <= valid.size(); ++cut) {
    check(valid.substr(0, cut));
  }
  const std::string alphabet = "{}\"\\# \n\r$0\x7f\x01\xff" "a";
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = valid;
    for (int flips = 1 + static_cast<int>(next() % 4); flips > 0; --flips) {
      bytes[next() % bytes.size()] = alphabet[next() % alphabet.size()];
    }
    check(bytes);
  }
}

}  // namespace
