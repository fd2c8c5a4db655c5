#include "engine/engine.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>

#include <thread>
#endif

#include "engine/file_error.h"
#include "engine/file_test_support.h"
#include "engine/strutil.h"

namespace {

using Calls = std::vector<std::string>;

// A converter whose steps record their calls and give preset results; a
// failing step sets the code the test asks for.
class RecordingConverter : public CCnvBase {
 public:
  RecordingConverter(Calls& calls, std::string failAt, int result, int code)
      : calls_(calls), failAt_(std::move(failAt)), result_(result), code_(code) {}

  int Step(const std::string& name) {
    calls_.push_back(name);
    if (name != failAt_) return 1;
    if (code_ >= 0) SetError(code_);
    return result_;
  }
  int ConvertLanProvider() override { return Step("lan"); }
  int ConvertPpProvider() override { return Step("pp"); }
  int ConvertSystemSettings() override { return Step("system"); }
  int Save(const std::filesystem::path& path) override {
    calls_.push_back("save");
    return CCnvBase::Save(path);
  }

 private:
  Calls& calls_;
  std::string failAt_;
  int result_;
  int code_;
};

// An engine whose shared steps go through the same recording converter.
class RecordingEngine : public CCnvEngine {
 public:
  RecordingEngine(const std::filesystem::path& input, RecordingConverter* converter)
      : CCnvEngine(input) {
    converter->Load(input);
    m_converter.reset(converter);
    m_converterKind = kConverterGui;
    recorder_ = converter;
  }

 protected:
  int UrlFilterStep(CCnvBase&) override { return recorder_->Step("url"); }
  int ExternalMemoryStep(CCnvBase&) override { return recorder_->Step("memory"); }

 private:
  RecordingConverter* recorder_;
};

class Engine : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    WriteBytes(Path("in.txt"), "ip lan1 address 192.168.0.1/24\n");
  }
};

TEST_F(Engine, FixedOrderAndStopAtTheFirstFailure) {
  const Calls all{"lan", "pp", "system", "url", "memory", "save"};
  const struct {
    std::string failAt;
    int result, code;
    size_t calls;
    int convertResult;
    std::u16string message;
  } cases[] = {
      {"", 1, -1, 6, 1, u"正常です。"},
      {"lan", 0, 2, 1, 0,
       u"configを変換できませんでした。\nVLK250のGUIで生成されたconfigではない可能性があります。"},
      {"pp", 0, 3, 2, 0, u"エラーです。"},
      {"system", 7, -1, 3, 7, u"正常です。"},  // any result but 1 stops; no code set
      {"url", 0, 2, 4, 0,
       u"configを変換できませんでした。\nVLK250のGUIで生成されたconfigではない可能性があります。"},
      {"memory", 0, 3, 5, 0, u"エラーです。"},
      {"save", 0, -1, 6, 0, u"出力ファイルのオープンに失敗しました。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("failing: " + c.failAt);
    WriteBytes(Path("out.txt"), "old\r\n");
    Calls calls;
    RecordingEngine engine(Path("in.txt"),
                           new RecordingConverter(calls, c.failAt, c.result, c.code));
    EXPECT_EQ(engine.Convert(c.failAt == "save" ? dir_ / "missing" / "out.txt" : Path("out.txt")),
              c.convertResult);
    EXPECT_EQ(calls, Calls(all.begin(), all.begin() + static_cast<ptrdiff_t>(c.calls)));
    std::u16string message;
    engine.GetErrorMessage(message);
    EXPECT_EQ(message, c.message);
    // Only a run that reaches Save touches the output.
    if (c.failAt.empty()) {
      EXPECT_EQ(ReadBytes(Path("out.txt")), ExpectedOutput("ip lan1 address 192.168.0.1/24"));
    } else {
      EXPECT_EQ(ReadBytes(Path("out.txt")), "old\r\n");
    }
  }
}

TEST_F(Engine, RunStepsDoesNotSave) {
  Calls calls;
  RecordingEngine engine(Path("in.txt"), new RecordingConverter(calls, "", 1, -1));
  EXPECT_EQ(engine.RunSteps(), 1);
  EXPECT_EQ(calls, (Calls{"lan", "pp", "system", "url", "memory"}));
}

TEST_F(Engine, ChoiceOfConverter) {
  const struct {
    const char* name;
    const char* text;
    int kind;
  } cases[] = {
      {"both markers", "clear configuration\n# System configuration\nip lan1\n", kConverterTftp},
      {"no clear marker", "# System configuration\nip lan1\n", kConverterGui},
      {"no system marker", "clear configuration\nip lan1\n", kConverterGui},
      {"empty file", "", kConverterGui},
  };
  for (const auto& c : cases) {
    WriteBytes(Path("choice.txt"), c.text);
    CCnvEngine engine(Path("choice.txt"));
    EXPECT_EQ(engine.m_converterKind, c.kind) << c.name;
    ASSERT_NE(engine.m_converter, nullptr) << c.name;
    EXPECT_EQ(engine.m_converter->m_error, 0) << c.name;
    // Bytes read elsewhere, and a pipe that can be read only once, give
    // the same choice and the same lines.
    CCnvEngine fromBytes(std::string(c.text), "-");
    EXPECT_EQ(fromBytes.m_converterKind, c.kind) << c.name;
    EXPECT_EQ(fromBytes.m_converter->JoinedLines(), engine.m_converter->JoinedLines()) << c.name;
#ifndef _WIN32
    const std::filesystem::path pipe = Path("pipe.txt");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] { WriteBytes(pipe, c.text); });
    CCnvEngine fromPipe(pipe);
    writer.join();
    std::filesystem::remove(pipe);
    EXPECT_EQ(fromPipe.m_converterKind, c.kind) << c.name;
    ASSERT_NE(fromPipe.m_converter, nullptr) << c.name;
    EXPECT_EQ(fromPipe.m_converter->JoinedLines(), engine.m_converter->JoinedLines()) << c.name;
#endif
  }
  // The listing converter keeps the lines it loaded; when it refuses them,
  // the web-GUI converter takes them over (they are not loaded twice).
  WriteBytes(Path("choice.txt"), "# System configuration\nip lan1\n");
  CCnvEngine gui(Path("choice.txt"));
  EXPECT_EQ(gui.m_converter->LineCount(), 2);
}

TEST_F(Engine, MissingInput) {
  CCnvEngine engine(Path("missing.txt"));
  EXPECT_EQ(engine.m_converterKind, kConverterNone);
  EXPECT_EQ(engine.m_converter, nullptr);
  EXPECT_EQ(engine.Convert(Path("out.txt")), 0);
  EXPECT_EQ(engine.RunSteps(), 0);
  EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));
  std::u16string message;
  engine.GetErrorMessage(message);
  EXPECT_EQ(message, u"入力ファイルのオープンに失敗しました。");
}

TEST_F(Engine, OutputThatCannotBeCreated) {
  CCnvEngine engine(Path("in.txt"));
  EXPECT_EQ(engine.Convert(dir_ / "missing" / "out.txt"), 0);
  EXPECT_EQ(engine.m_converter->m_error, kCnvOutputOpen);
  std::u16string message;
  engine.GetErrorMessage(message);
  EXPECT_EQ(message, u"出力ファイルのオープンに失敗しました。");
}

TEST_F(Engine, FileErrorsPropagate) {
  WriteBytes(Path("binary.txt"), std::string("\x7f"
                                             "ELF\0\0",
                                             6));
  EXPECT_THROW(CCnvEngine engine(Path("binary.txt")), FileError);
}

}  // namespace
