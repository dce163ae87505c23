// The installed ddhost end to end: the examples' RIB, what each option
// changes in it, and how wrong scripts, scenes and command lines fail.
#include "DdhostRun.h"

#include <harness/TestPaths.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <spawn.h>
#  include <sys/inotify.h>
#  include <sys/wait.h>
#  include <unistd.h>
extern char** environ;
#endif
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::ddhost;
using testsupport::ProcessResult;
using testsupport::readFile;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using namespace std::string_literals;

const std::string kLitScript =
    "Constant {\n"
    " name Plate1\n"
    "}\n"
    "LumoxIndirect {\n"
    " samples 8\n"
    " name Bounce1\n"
    "}\n";

// The same golden text on every platform: the RIB is byte-identical.
TEST(DdhostExamples, WriteTheirGoldenRib) {
  struct Case {
    const char* example;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"bounce-light", {}},
      {"shader-instance", {"--as-shader"}},
      {"several-lights", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.example);
    std::vector<std::string> arguments = c.options;
    arguments.push_back(testsupport::exampleScript(c.example));
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 0);
    // In the installed tree the plug-in initialises the renderer library,
    // which otherwise complains on standard error.
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, readFile(testsupport::goldenDir() / (std::string(c.example) + ".rib")));
  }
}

TEST(DdhostExamples, ReadTheScriptFromStandardInput) {
  const ProcessResult run = ddhost({"-"}, readFile(testsupport::exampleScript("several-lights")));
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, readFile(testsupport::goldenDir() / "several-lights.rib"));
}

TEST(DdhostOptions, ReachTheEmittedLines) {
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {{},
       {"  # exported image \"Plate1\"\n", "LightSource \"ovLumoxIndirect\" 1 \"string _col\" [\"Plate1\"]",
        "\"int samples\" [8]"},
       {"Shader", "declined"}},
      {{"--exporter", "decline"}, {"  # declined image \"Plate1\"\n", "LightSource \"ovLumoxIndirect\" 1 \"int samples\""},
       {"_col", "exported"}},
      {{"--exporter", "none"}, {"LightSource \"ovLumoxIndirect\" 1 \"int samples\" [8]"}, {"_col", "image"}},
      {{"--as-shader"}, {"Shader \"ovLumoxIndirect\" \"Bounce1\" \"string _col\" [\"Plate1\"]"}, {"LightSource"}},
      {{"--sample-scale", "2.5"}, {"\"int samples\" [20]"}, {"[8]"}},
      {{"--sample-scale", "0"}, {"\"int samples\" [1]"}, {"[8]"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.options;
    arguments.push_back("-");
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult run = ddhost(arguments, kLitScript);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_THAT(run.out, StartsWith("##RenderMan RIB-Structure 1.1\nversion 3.04\nWorldBegin\nTransformBegin\n"));
    for (const std::string& text : c.present) {
      EXPECT_THAT(run.out, HasSubstr(text));
    }
    for (const std::string& text : c.absent) {
      EXPECT_THAT(run.out, Not(HasSubstr(text)));
    }
  }
}

// Each light's categories, as the bridge reads them after validation, on a
// comment line in front of its block; none for an empty set.
TEST(DdhostCategories, PrecedeEachLightsBlockInByteOrder) {
  const std::string script =
      "LumoxIndirect {\n name Key\n inputs 0\n category \"key, rim-light\"\n}\n"
      "LumoxIndirect {\n name Commas\n inputs 0\n category \",fill,,key ,\"\n}\n"
      "LumoxIndirect {\n name Duplicates\n inputs 0\n category \"rim rim-light rim_light Rim  RIM\"\n}\n"
      "LumoxIndirect {\n name Empty\n inputs 0\n category \"\"\n}\n"
      "LumoxIndirect {\n name Word\n inputs 0\n category bounce\n}\n"
      "LumoxIndirect {\n name Unset\n inputs 0\n}\n";
  const ProcessResult run = ddhost({"--exporter", "none", "-"}, script);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  // The RIB with each light declaration cut after its sequence number.
  std::vector<std::string> outline;
  for (const std::string& line : testsupport::lines(run.out)) {
    std::size_t end = line.rfind("  LightSource ", 0) == 0 ? 2 : std::string::npos;
    for (int word = 0; word < 3 && end != std::string::npos; ++word) {
      end = line.find(' ', end + 1);
    }
    outline.push_back(line.substr(0, end));
  }
  const std::vector<std::string> expected = {
      "##RenderMan RIB-Structure 1.1",
      "version 3.04",
      "WorldBegin",
      "# categories \"key\" \"rim_light\"",
      "TransformBegin",
      "  LightSource \"ovLumoxIndirect\" 1",
      "TransformEnd",
      "# categories \"fill\" \"key\"",
      "TransformBegin",
      "  LightSource \"ovLumoxIndirect\" 2",
      "TransformEnd",
      "# categories \"RIM\" \"Rim\" \"rim\" \"rim_light\"",
      "TransformBegin",
      "  LightSource \"ovLumoxIndirect\" 3",
      "TransformEnd",
      "TransformBegin",
      "  LightSource \"ovLumoxIndirect\" 4",
      "TransformEnd",
      "# categories \"bounce\"",
      "TransformBegin",
      "  LightSource \"ovLumoxIndirect\" 5",
      "TransformEnd",
      "TransformBegin",
      "  LightSource \"ovLumoxIndirect\" 6",
      "TransformEnd",
      "WorldEnd",
  };
  EXPECT_EQ(outline, expected);
}

TEST(DdhostErrors, EachKindIsReportedAtItsLineAndPrintsNoRib) {
  struct Case {
    const char* what;
    std::string script;
    std::size_t line;
    const char* message;
  };
  const Case cases[] = {
      {"unknown class", "Constant {\n}\n\nBounceLight {\n}\n", 4, "unknown node class \"BounceLight\""},
      {"unknown knob", "LumoxIndirect {\n samples 4\n sample 4\n}\n", 3, "unknown knob \"sample\""},
      {"host knob of 3D nodes on an image", "Constant {\n translate {0 1 2}\n}\n", 2, "unknown knob \"translate\""},
      {"integer with trailing text", "LumoxIndirect {\n samples 4x\n}\n", 2, "samples takes an integer, not \"4x\""},
      {"integer that a control cannot hold", "LumoxIndirect {\n samples 4294967296\n}\n", 2, "takes an integer"},
      {"number that is not one", "LumoxIndirect {\n exposure nan\n}\n", 2, "exposure takes a number, not \"nan\""},
      {"color of two", "LumoxIndirect {\n color {1 0.5}\n}\n", 2, "color takes a color"},
      {"translate of a word", "Card {\n translate 1\n}\n", 2, "translate takes {X Y Z}"},
      {"selected neither true nor false", "Card {\n selected yes\n}\n", 2, "selected takes true or false"},
      {"name that is no identifier", "Card {\n name \"Key Light\"\n}\n", 2, "takes a node name"},
      {"duplicate name", "Constant {\n name Plate\n}\nCard {\n name Plate\n}\n", 5, "duplicate node name \"Plate\""},
      {"default name taken", "Card {\n}\nCard {\n name Card1\n}\n", 4, "duplicate node name \"Card1\""},
      {"push of an unknown name", "Constant {\n}\npush $Plate\n", 3, "push of unknown node \"$Plate\""},
      {"more inputs than the node takes", "LumoxIndirect {\n inputs 2\n}\n", 2, "inputs takes 0 to 1"},
      {"input the node refuses", "Card {\n}\nLumoxIndirect {\n}\n", 3, "cannot take \"Card1\" (Card) as input 0"},
      {"unbalanced brace", "Constant {\n}\n}\n", 3, "unbalanced '}'"},
      {"unterminated block", "Constant {\n}\nLumoxIndirect {\n samples 4\n", 3, "unterminated block"},
      {"unterminated string", "Constant {\n name \"Plate\n}\n", 2, "unterminated string"},
      {"text as a list", "LumoxIndirect {\n category {key rim}\n}\n", 2, "category takes a text"},
      {"text with a NUL byte", "LumoxIndirect {\n category \"key\0rim\"\n}\n"s, 2,
       "category takes a text without NUL bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessResult run = ddhost({"-"}, c.script);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> said = testsupport::lines(run.err);
    ASSERT_EQ(said.size(), 1u) << run.err;
    EXPECT_THAT(said[0], StartsWith("-:" + std::to_string(c.line) + ": "));
    EXPECT_THAT(said[0], HasSubstr(c.message));
  }
}

// The scene is built as the script is read, yet of several errors a syntax
// error comes first, however far below a scene error it is.
TEST(DdhostErrors, ASyntaxErrorBelowASceneErrorIsTheOneReported) {
  const std::string sceneError = "LumoxIndirect {\n bogus 1\n}\n";
  const ProcessResult both = ddhost({"-"}, sceneError + "Card {\n}\npush 0 1\n");
  EXPECT_EQ(both.exitStatus, 1);
  EXPECT_EQ(testsupport::lines(both.err), std::vector<std::string>{"-:6: unexpected text after push \"0\""});
  const ProcessResult scene = ddhost({"-"}, sceneError + "Card {\n}\n");
  EXPECT_EQ(testsupport::lines(scene.err),
            std::vector<std::string>{"-:2: unknown knob \"bogus\" for LumoxIndirect"});
}

TEST(DdhostErrors, NameTheScriptFileAndLeaveOutputFilesAsTheyWere) {
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "broken.ddscript";
  testsupport::writeFile(script, "Constant {\n samples 8\n}\n");
  const fs::path existing = dir.path() / "existing.rib";
  testsupport::writeFile(existing, "previous RIB\n");

  for (const fs::path& output : {existing, dir.path() / "new.rib"}) {
    SCOPED_TRACE(output.string());
    const ProcessResult run = ddhost({"-o", output.string(), script.string()});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, StartsWith(script.string() + ":2: unknown knob \"samples\""));
  }
  EXPECT_EQ(readFile(existing), "previous RIB\n");
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"broken.ddscript", "existing.rib"}));
}

// A script file larger than what ddhost reads at once is built piece by
// piece as it is read: names given early are found late, every light is
// written, and an error far down keeps its line.
TEST(DdhostLargeScripts, ReadInPiecesAsAWhole) {
  constexpr int kLights = 12000;  // about 1.4 MB of script
  std::string text = "Constant {\n name Plate\n}\n";
  for (int i = 0; i < kLights; ++i) {
    text += "push $Plate\nLumoxIndirect {\n name Bounce" + std::to_string(i) + "\n samples " +
            std::to_string(1 + i % 16) + "\n exposure 0.5\n}\n";
  }
  const std::size_t lines = 3 + 6 * static_cast<std::size_t>(kLights);
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "large.ddscript";
  const fs::path output = dir.path() / "large.rib";

  testsupport::writeFile(script, text);
  const ProcessResult run = ddhost({"-o", output.string(), script.string()});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::string rib = readFile(output);
  EXPECT_EQ(std::count(rib.begin(), rib.end(), '\n'), 4 * kLights + 4);
  // The last light, fed by the plate named at the start (found, not dumped).
  EXPECT_NE(rib.find("# exported image \"Plate\"\n  LightSource \"ovLumoxIndirect\" 12000 "
                     "\"string _col\" [\"Plate\"] \"int samples\" [16]"),
            std::string::npos);

  struct Case {
    const char* what;
    std::string tail;
    std::size_t line;
    const char* message;
  };
  const Case cases[] = {
      {"an unknown knob", "Card {\n bogus 1\n}\n", lines + 2, "unknown knob \"bogus\" for Card"},
      {"a name given at the start", "Card {\n name Bounce7\n}\n", lines + 2, "duplicate node name \"Bounce7\""},
      {"a push of an unknown node", "push $Nowhere\n", lines + 1, "push of unknown node \"$Nowhere\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::writeFile(script, text + c.tail);
    const ProcessResult failed = ddhost({"-o", output.string(), script.string()});
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_EQ(testsupport::lines(failed.err),
              std::vector<std::string>{script.string() + ":" + std::to_string(c.line) + ": " + c.message});
  }
}

TEST(DdhostOutput, ReplacesTheFileOnlyWhenComplete) {
  const testsupport::TemporaryDirectory dir;
  const fs::path output = dir.path() / "scene.rib";
  testsupport::writeFile(output, "previous RIB\n");
  const ProcessResult run = ddhost({"--output", output.string(), testsupport::exampleScript("bounce-light")});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(readFile(output), readFile(testsupport::goldenDir() / "bounce-light.rib"));
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"scene.rib"});

  // A folder cannot be replaced by a file: refused, and nothing left behind.
  const fs::path folder = dir.path() / "folder.rib";
  fs::create_directory(folder);
  const ProcessResult blocked = ddhost({"-o", folder.string(), testsupport::exampleScript("bounce-light")});
  EXPECT_EQ(blocked.exitStatus, 1);
  EXPECT_THAT(blocked.err, HasSubstr(folder.string()));
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"folder.rib", "scene.rib"}));
}

TEST(DdhostCommandLine, WrongOnesExitWithTwoAndRunNothing) {
  const testsupport::TemporaryDirectory dir;
  const std::string script = testsupport::exampleScript("bounce-light");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--bogus", script},
      {script, script},
      {"--exporter", "maybe", script},
      {"--sample-scale", "4x", script},
      {"--sample-scale", "-1", script},
      {"--sample-scale", "nan", script},
      {"--sample-scale", "1e39", script},
      {"--viewer-size", "640", script},
      {"--viewer-size", "0x360", script},
      {"--viewer-size", "4097x360", script},
      {"--viewer-size", "640X360", script},
      {"--plugin-dir", (dir.path() / "missing").string(), script},
      {"--plugin-dir", script, script},
      {"-o", "", script},
      {"--describe"},
      {"--describe", "LumoxIndirect", script},
  };
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    // One line, as every message is, so a log keeps it whole.
    const std::vector<std::string> message = testsupport::lines(run.err);
    ASSERT_EQ(message.size(), 1u) << run.err;
    EXPECT_THAT(message[0], StartsWith("ddhost: "));
    EXPECT_THAT(message[0], HasSubstr("--help"));
  }
}

// "-" is standard output for -o, but never for the picture: it is refused
// rather than written as a file called "-" in the current folder.
TEST(DdhostCommandLine, TheViewerNeedsAFileNotStandardOutput) {
  const testsupport::TemporaryDirectory dir;
  const fs::path saved = fs::current_path();
  fs::current_path(dir.path());
  const std::string script = testsupport::exampleScript("bounce-light");
  const std::vector<std::vector<std::string>> cases = {
      {"--viewer", "-", script},
      {"-o", "-", "--viewer", "-", script},
      {"-o", "scene.rib", "--viewer=-", script},
  };
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult run = ddhost(arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(testsupport::lines(run.err),
              std::vector<std::string>{"ddhost: --viewer: needs a file: the picture is never written to standard "
                                       "output (./- names a file called -) (ddhost --help lists the options)"});
    EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{});
  }
  fs::current_path(saved);
}

TEST(DdhostCommandLine, HelpAndVersionSucceed) {
  const ProcessResult help = ddhost({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_THAT(help.out, HasSubstr("--exporter"));
  EXPECT_THAT(help.out, HasSubstr("--plugin-dir"));
  const ProcessResult version = ddhost({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(testsupport::lines(version.out), std::vector<std::string>{"ddhost " LUMOX_TEST_PROJECT_VERSION});
  EXPECT_EQ(version.err, "");
}

// Whatever bytes a script or a name holds, a message is one line of valid
// UTF-8 without control characters or characters that hide or reorder
// text: they and invalid bytes are escaped.
TEST(DdhostErrors, MessagesEscapeControlBytesAndInvalidUtf8) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::string script;
    std::string says;
  };
  const Case cases[] = {
      {"a knob value", {"-"}, "LumoxIndirect {\n samples \"\x1b[2J\xff\"\n}\n",
       "samples takes an integer, not \"\\x1B[2J\\xFF\""},
      {"a class name", {"-"}, "Bad\xc3\x28 {\n}\n", "unknown node class \"Bad\\xC3(\""},
      {"a line end in a string", {"-"}, "LumoxIndirect {\n samples \"4\n\"\n}\n", "not \"4\\n\""},
      {"a C1 control", {"-"}, "LumoxIndirect {\n samples \"\xc2\x9b\xc3\xa9\"\n}\n",
       "not \"\\xC2\\x9B\xc3\xa9\""},
      {"a bidirectional override and a line separator", {"-"},
       "LumoxIndirect {\n samples \"\xe2\x80\xae" "1\xe2\x80\xa8\"\n}\n", "not \"\\xE2\\x80\\xAE1\\xE2\\x80\\xA8\""},
      {"a byte order mark and a paragraph separator", {"-"}, "Bad\xef\xbb\xbf\xe2\x80\xa9 {\n}\n",
       "unknown node class \"Bad\\xEF\\xBB\\xBF\\xE2\\x80\\xA9\""},
      {"a file name", {"missing\x1b]0;title\x07.ddscript"}, "", "cannot read missing\\x1B]0;title\\x07.ddscript"},
      {"a command-line value", {"--exporter", "\x1b[31m", "-"}, "", "\\x1B[31m"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessResult run = ddhost(c.arguments, c.script);
    EXPECT_NE(run.exitStatus, 0);
    EXPECT_THAT(run.err, HasSubstr(c.says));
    for (const std::string& line : testsupport::lines(run.err)) {
      EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char b) {
        const auto byte = static_cast<unsigned char>(b);
        return byte < 0x20 || byte == 0x7f || byte == 0xff;
      })) << line;
    }
  }
}

#if !defined(_WIN32)
ProcessResult shell(const std::string& command, const char* program = "/bin/sh") {
  return testsupport::runProcess(program, {"-c", command});
}

std::string shellWord(const fs::path& path) {
  return "'" + path.string() + "'";
}

// The script is opened once and read once, to its end, from whatever it
// is: a FIFO, a pipe behind /dev/stdin, a process substitution.
TEST(DdhostScripts, ComeFromAnythingThatCanBeReadOnce) {
  const std::string script = testsupport::exampleScript("several-lights");
  const std::string rib = readFile(testsupport::goldenDir() / "several-lights.rib");
  const std::string ddhostWord = shellWord(testsupport::installedDdhost());
  const testsupport::TemporaryDirectory dir;
  const fs::path fifo = dir.path() / "scene.fifo";
  struct Case {
    const char* what;
    std::string command;
  };
  const Case cases[] = {
      {"a FIFO", "mkfifo " + shellWord(fifo) + " && (cat " + shellWord(script) + " > " + shellWord(fifo) +
                     " &) && exec " + ddhostWord + " " + shellWord(fifo)},
      {"/dev/stdin", "cat " + shellWord(script) + " | " + ddhostWord + " /dev/stdin"},
      {"a process substitution", "exec " + ddhostWord + " <(cat " + shellWord(script) + ")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessResult run = shell(c.command, "/bin/bash");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, rib);
  }
}

// The forms the manual's grammar allows for one scene give that scene: each
// script here must give the RIB of the plainly written one, which differs
// from the defaults in every value it sets.
TEST(DdhostScripts, EveryWrittenFormOfAValueGivesTheSameScene) {
  const std::string plain = "LumoxIndirect {\n samples 8\n color {0.5 0.5 0.5}\n category \"key rim\"\n}\n";
  const ProcessResult expected = ddhost({"-"}, plain);
  ASSERT_EQ(expected.exitStatus, 0) << expected.err;
  const ProcessResult defaults = ddhost({"-"}, "LumoxIndirect {\n}\n");
  ASSERT_NE(expected.out, defaults.out);
  const struct {
    const char* what;
    std::string script;
  } cases[] = {
      {"one line", "LumoxIndirect { samples 8\n color {0.5 0.5 0.5}\n category \"key rim\" }\n"},
      {"closing brace after the last value", "LumoxIndirect {\n samples 8\n color 0.5\n category \"key rim\" }\n"},
      {"a string for a number", "LumoxIndirect {\n samples \"8\"\n color 0.5\n category \"key rim\"\n}\n"},
      {"CRLF line ends and blanks", "LumoxIndirect\t{\r\n\tsamples 8\r\n\v color\f0.5 \r\n category \"key rim\"\r\n}\r\n"},
      {"comments everywhere", "# scene\nLumoxIndirect { # light\n\n # knob\n samples 8 # eight\n color 0.5\n"
                              " category \"key rim\"\n} # end\n#"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessResult run = ddhost({"-"}, c.script);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, expected.out);
  }
}

// A script renamed over while ddhost reads it: the RIB is that of the file
// ddhost opened, whether the replacement is another scene or no script.
TEST(DdhostScripts, ARenameOverTheScriptDuringTheRunChangesNothing) {
  // A few MB, most of it comments: read in several pieces.
  std::string text = "Constant {\n name Plate\n}\n";
  const std::string comment = "# " + std::string(200, '-') + "\n";
  while (text.size() < (std::size_t{4} << 20)) {
    text += comment;
  }
  for (int i = 0; i < 100; ++i) {
    text += "push $Plate\nLumoxIndirect {\n samples " + std::to_string(1 + i % 16) + "\n}\n";
  }
  const testsupport::TemporaryDirectory dir;
  const fs::path script = dir.path() / "scene.ddscript";
  const fs::path output = dir.path() / "out.rib";
  testsupport::writeFile(script, text);
  const ProcessResult expected = ddhost({script.string()});
  ASSERT_EQ(expected.exitStatus, 0) << expected.err;

  for (const std::string& replacement : {std::string("LumoxIndirect {\n samples 99\n}\n"), std::string("}{\n")}) {
    SCOPED_TRACE(replacement);
    testsupport::writeFile(script, text);
    testsupport::writeFile(dir.path() / "new.ddscript", replacement);
    // The latch: the kernel's report that ddhost has read from the script.
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, script.c_str(), IN_ACCESS), 0);
    std::vector<std::string> words = {testsupport::installedDdhost().string(), "-o", output.string(), script.string()};
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (dir.path() / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    alignas(inotify_event) char event[4096];
    EXPECT_GT(read(watch, event, sizeof event), 0);
    fs::rename(dir.path() / "new.ddscript", script);
    int status = 0;
    waitpid(pid, &status, 0);
    close(watch);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(dir.path() / "err.txt");
    EXPECT_EQ(readFile(output), expected.out);
    EXPECT_EQ(readFile(script), replacement);
  }
}
#endif

}  // namespace
