// The PDF bridge of libzqscan: zq_create_pdf and zq_pdf_error with the PDF
// library missing, incomplete, failing, or real.
//
// The bridge loads libzqpdf.so once per process and keeps it, so each test
// copies libzqscan into a fresh folder of its own and loads that copy: a
// separate file is a separate library with its own, unloaded bridge.  The
// library in the private folder beside the copy is the one the bridge must
// take.
#include "picture_files.h"
#include "temp_dir.h"
#include <zqscan/zq_pdf.h>
#include <zqpdf/zqpdf.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <tiffio.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

using namespace zq::test;
namespace fs = std::filesystem;

namespace
{

const std::string kStubs = ZQ_PDF_STUB_DIR;
const std::string kPrivateFolder = ZQ_PRIVATE_LIBRARY_FOLDER;

// What a stub library shares with the test.
struct StubState {
    int *initResults = nullptr;
    int *initCalls = nullptr;
    int *createResult = nullptr;
    int *createCalls = nullptr;
    int *lastCount = nullptr;
    const char *lastImages = nullptr;
    const char *lastOutput = nullptr;
    int *textLayerResult = nullptr;
    const char *lastLanguages = nullptr;
    int *prepareResult = nullptr;
    const char *lastPrepared = nullptr;
    int *encodingResult = nullptr;
    int *lastEncoding = nullptr;
};

// Standard output of the calls made while it exists, read at the end.
class CapturedStdout
{
  public:
    CapturedStdout() : file_(std::tmpfile())
    {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        dup2(fileno(file_), STDOUT_FILENO);
    }
    ~CapturedStdout()
    {
        restore();
        std::fclose(file_);
    }
    std::string text()
    {
        restore();
        std::rewind(file_);
        std::string out;
        char chunk[512];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file_)) > 0)
            out.append(chunk, got);
        return out;
    }

  private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }
    FILE *file_;
    int saved_ = -1;
};

class PdfBridgeTest : public testing::Test
{
  public:           // the calls, for the tables of calls below
    TempDir folder; // holds the copy of libzqscan
    const std::string pdfLibrary = folder / kPrivateFolder + "/libzqpdf.so";
    decltype(&zq_create_pdf) create = nullptr;
    decltype(&zq_pdf_error) error = nullptr;
    decltype(&zq_pdf_set_text_layer) setTextLayer = nullptr;
    decltype(&zq_pdf_prepare_page) preparePage = nullptr;
    decltype(&zq_pdf_set_page_encoding) setPageEncoding = nullptr;

    void SetUp() override
    {
        fs::copy_file(ZQ_SCANNER_LIBRARY, folder / "libzqscan.so");
        void *scanner = dlopen((folder / "libzqscan.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(scanner, nullptr) << dlerror();
        create = reinterpret_cast<decltype(create)>(dlsym(scanner, "zq_create_pdf"));
        error = reinterpret_cast<decltype(error)>(dlsym(scanner, "zq_pdf_error"));
        setTextLayer =
            reinterpret_cast<decltype(setTextLayer)>(dlsym(scanner, "zq_pdf_set_text_layer"));
        preparePage =
            reinterpret_cast<decltype(preparePage)>(dlsym(scanner, "zq_pdf_prepare_page"));
        setPageEncoding =
            reinterpret_cast<decltype(setPageEncoding)>(dlsym(scanner, "zq_pdf_set_page_encoding"));
        ASSERT_NE(create, nullptr);
        ASSERT_NE(error, nullptr);
        ASSERT_NE(setTextLayer, nullptr);
        ASSERT_NE(preparePage, nullptr);
        ASSERT_NE(setPageEncoding, nullptr);
        fs::create_directory(folder / kPrivateFolder);
    }

    // Puts a build of the stub in the copy's private folder as libzqpdf.so.
    StubState installStub(const std::string &build)
    {
        fs::copy_file(kStubs + "/" + build + ".so", pdfLibrary);
        void *stub = dlopen(pdfLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(stub, nullptr) << dlerror();
        const auto var = [stub](const char *name) { return dlsym(stub, name); };
        return {static_cast<int *>(var("stub_init_results")),
                static_cast<int *>(var("stub_init_calls")),
                static_cast<int *>(var("stub_create_result")),
                static_cast<int *>(var("stub_create_calls")),
                static_cast<int *>(var("stub_last_count")),
                static_cast<const char *>(var("stub_last_images")),
                static_cast<const char *>(var("stub_last_output")),
                static_cast<int *>(var("stub_text_layer_result")),
                static_cast<const char *>(var("stub_last_languages")),
                static_cast<int *>(var("stub_prepare_result")),
                static_cast<const char *>(var("stub_last_prepared")),
                static_cast<int *>(var("stub_encoding_result")),
                static_cast<int *>(var("stub_last_encoding"))};
    }

    int createWith(const std::vector<std::string> &images, const std::string &output)
    {
        std::vector<const char *> list;
        for (const std::string &i : images)
            list.push_back(i.c_str());
        return create(list.data(), static_cast<int>(list.size()), output.c_str());
    }
};

TEST_F(PdfBridgeTest, MissingLibraryIsReportedAndTriedAgain)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        CapturedStdout out;
        EXPECT_EQ(createWith({"a.jpg"}, "out.pdf"), -1);
        EXPECT_STREQ(error(), "can not load libzqpdf.so");
        const std::string printed = out.text();
        EXPECT_NE(printed.find(pdfLibrary), std::string::npos)
            << "the loader's own message names the file: " << printed;
        EXPECT_NE(printed.find("No such file or directory"), std::string::npos) << printed;
    }

    const StubState stub = installStub("pdf_stub_complete");
    *stub.createResult = 0;
    EXPECT_EQ(createWith({"a.jpg"}, "out.pdf"), 0) << "loaded on the next call";
    EXPECT_EQ(*stub.initCalls, 1);
    EXPECT_EQ(*stub.createCalls, 1);
    EXPECT_STREQ(error(), "stub's own text");
}

TEST_F(PdfBridgeTest, LibraryInTheWorkingDirectoryIsIgnored)
{
    TempDir work;
    for (const std::string &sub : {std::string("lib"), kPrivateFolder}) {
        fs::create_directory(work / sub);
        fs::copy_file(kStubs + "/pdf_stub_complete.so", work / sub + "/libzqpdf.so");
    }
    const fs::path previous = fs::current_path();
    fs::current_path(work.path());
    CapturedStdout out;
    const int result = createWith({"a.jpg"}, "out.pdf");
    fs::current_path(previous);
    EXPECT_EQ(result, -1);
    EXPECT_STREQ(error(), "can not load libzqpdf.so");
}

TEST_F(PdfBridgeTest, ArgumentsAndResultPassThrough)
{
    const StubState stub = installStub("pdf_stub_complete");
    for (int result : {0, 3, -7}) {
        *stub.createResult = result;
        EXPECT_EQ(createWith({"/d/1.jpg", "/d/2.tif", "/d/3.jpg"}, "/d/x.pdf"), result);
    }
    EXPECT_EQ(*stub.initCalls, 1) << "initialised once";
    EXPECT_EQ(*stub.createCalls, 3);
    EXPECT_EQ(*stub.lastCount, 3);
    EXPECT_STREQ(stub.lastImages, "/d/1.jpg|/d/2.tif|/d/3.jpg|");
    EXPECT_STREQ(stub.lastOutput, "/d/x.pdf");
}

TEST_F(PdfBridgeTest, SettingsAndPreparedPagesPassThrough)
{
    EXPECT_EQ(setTextLayer("eng"), -1) << "no library yet";
    EXPECT_EQ(preparePage("/d/1.jpg"), -1);
    EXPECT_EQ(setPageEncoding(ZQ_PDF_ENCODING_COMPACT), -1);

    const StubState stub = installStub("pdf_stub_complete");
    *stub.textLayerResult = ZQPDF_ERR_LANGUAGE;
    *stub.prepareResult = ZQ_PDF_PAGE_PENDING;
    EXPECT_EQ(setTextLayer("chi_sim+eng"), ZQPDF_ERR_LANGUAGE);
    EXPECT_STREQ(stub.lastLanguages, "chi_sim+eng");
    *stub.textLayerResult = 0;
    EXPECT_EQ(setTextLayer(nullptr), 0);
    EXPECT_STREQ(stub.lastLanguages, "(null)");
    EXPECT_EQ(preparePage("/d/1.jpg"), ZQ_PDF_PAGE_PENDING);
    EXPECT_STREQ(stub.lastPrepared, "/d/1.jpg");
    *stub.encodingResult = ZQPDF_ERR_SETTING;
    EXPECT_EQ(setPageEncoding(7), ZQPDF_ERR_SETTING);
    EXPECT_EQ(*stub.lastEncoding, 7);
    *stub.encodingResult = 0;
    EXPECT_EQ(setPageEncoding(ZQ_PDF_ENCODING_COMPACT), 0);
    EXPECT_EQ(*stub.lastEncoding, ZQPDF_ENCODING_COMPACT);
    EXPECT_EQ(*stub.initCalls, 1) << "initialised once, by the first call that loaded it";
    EXPECT_EQ(*stub.createCalls, 0);
}

TEST_F(PdfBridgeTest, FailingInitIsReturnedAndTriedAgain)
{
    const StubState stub = installStub("pdf_stub_complete");
    stub.initResults[0] = 12;
    *stub.createResult = 0;
    EXPECT_EQ(createWith({"a.jpg"}, "out.pdf"), 12);
    EXPECT_EQ(*stub.createCalls, 0) << "an uninitialised library composes nothing";
    EXPECT_STREQ(error(), "stub's own text");

    EXPECT_EQ(createWith({"a.jpg"}, "out.pdf"), 0);
    EXPECT_EQ(*stub.initCalls, 2);
    EXPECT_EQ(*stub.createCalls, 1);
}

struct MissingEntry {
    const char *build;
    int firstResult;
    int secondResult;
    int composes; // calls of zqpdf_create_pdf from the two requests
    const char *error;
    int textLayerResult; // of zq_pdf_set_text_layer, the stub answering 6
    int prepareResult;   // of zq_pdf_prepare_page, the stub answering 100
    int encodingResult;  // of zq_pdf_set_page_encoding, the stub answering 8
};

void PrintTo(const MissingEntry &entry, std::ostream *os)
{
    *os << entry.build;
}

class PdfBridgeMissingEntryTest : public PdfBridgeTest,
                                  public testing::WithParamInterface<MissingEntry>
{
};

TEST_P(PdfBridgeMissingEntryTest, ResultsAndErrorText)
{
    const MissingEntry &c = GetParam();
    const StubState stub = installStub(c.build);
    *stub.createResult = 5;
    *stub.textLayerResult = 6;
    *stub.prepareResult = 100;
    *stub.encodingResult = 8;
    EXPECT_EQ(createWith({"a.jpg"}, "out.pdf"), c.firstResult);
    EXPECT_EQ(createWith({"a.jpg"}, "out.pdf"), c.secondResult);
    EXPECT_EQ(*stub.createCalls, c.composes);
    EXPECT_STREQ(error(), c.error);
    EXPECT_EQ(setTextLayer("eng"), c.textLayerResult);
    EXPECT_EQ(preparePage("a.jpg"), c.prepareResult);
    EXPECT_EQ(setPageEncoding(ZQ_PDF_ENCODING_COMPACT), c.encodingResult);
}

INSTANTIATE_TEST_SUITE_P(
    EachEntryPoint, PdfBridgeMissingEntryTest,
    testing::Values(
        // clang-format off
        // Only the text is lost: nothing calls zqpdf_uninit.
        MissingEntry{"pdf_stub_without_uninit", 5, 5, 2, "can not load zqpdf_uninit()", 6, 100, 8},
        MissingEntry{"pdf_stub_without_last_error", 5, 5, 2, "can not load zqpdf_last_error()", 6, 100, 8},
        // Never initialised, so never asked to compose.
        MissingEntry{"pdf_stub_without_init", -1, -1, 0, "can not load zqpdf_init()", -1, -1, -1},
        MissingEntry{"pdf_stub_without_create", -1, -1, 0, "can not load zqpdf_create_pdf()", 6, 100, 8},
        // Older libraries without a text layer or compact pages still
        // compose, and say why they failed.
        MissingEntry{"pdf_stub_without_set_text_layer", 5, 5, 2, "stub's own text", -1, 100, 8},
        MissingEntry{"pdf_stub_without_prepare_page", 5, 5, 2, "stub's own text", 6, -1, 8},
        MissingEntry{"pdf_stub_without_set_page_encoding", 5, 5, 2, "stub's own text", 6, 100, -1}),
    // clang-format on
    [](const testing::TestParamInfo<MissingEntry> &info) {
        return std::string(info.param.build).substr(std::string("pdf_stub_").size());
    });

// The call that needs an entry point an older library lacks names it, and
// the next call has the library's own text again.
struct OptionalEntry {
    const char *build;
    int (*call)(PdfBridgeTest &);
    const char *error;
};

void PrintTo(const OptionalEntry &entry, std::ostream *os)
{
    *os << entry.build;
}

class PdfBridgeOptionalEntryTest : public PdfBridgeTest,
                                   public testing::WithParamInterface<OptionalEntry>
{
};

TEST_P(PdfBridgeOptionalEntryTest, NamedByTheCallThatNeedsIt)
{
    const StubState stub = installStub(GetParam().build);
    *stub.createResult = 5;
    EXPECT_EQ(GetParam().call(*this), -1);
    EXPECT_STREQ(error(), GetParam().error);
    EXPECT_EQ(createWith({"a.jpg"}, "out.pdf"), 5);
    EXPECT_STREQ(error(), "stub's own text");
}

INSTANTIATE_TEST_SUITE_P(
    EachOptionalEntryPoint, PdfBridgeOptionalEntryTest,
    testing::Values(OptionalEntry{"pdf_stub_without_set_text_layer",
                                  [](PdfBridgeTest &t) { return t.setTextLayer("eng"); },
                                  "can not load zqpdf_set_text_layer()"},
                    OptionalEntry{"pdf_stub_without_prepare_page",
                                  [](PdfBridgeTest &t) { return t.preparePage("a.jpg"); },
                                  "can not load zqpdf_prepare_page()"},
                    OptionalEntry{
                        "pdf_stub_without_set_page_encoding",
                        [](PdfBridgeTest &t) { return t.setPageEncoding(ZQ_PDF_ENCODING_COMPACT); },
                        "can not load zqpdf_set_page_encoding()"}),
    [](const testing::TestParamInfo<OptionalEntry> &info) {
        return std::string(info.param.build).substr(std::string("pdf_stub_").size());
    });

// The real libzqpdf beside the copy, composing real pictures.
TEST_F(PdfBridgeTest, RealLibraryComposes)
{
    fs::copy_file(ZQ_PDF_LIBRARY, pdfLibrary);
    TempDir pages;
    writeJpeg(pages / "1.jpg", renderedPage(160, 120), 60);
    writeTiff(pages / "2.tif", renderedPage(120, 160, 1), COMPRESSION_JPEG, 60);

    EXPECT_EQ(createWith({pages / "1.jpg", pages / "2.tif"}, pages / "out.pdf"), ZQPDF_OK);
    EXPECT_STREQ(error(), "no error");
    EXPECT_TRUE(fs::file_size(pages / "out.pdf") > fs::file_size(pages / "1.jpg"));

    EXPECT_EQ(createWith({pages / "gone.jpg"}, pages / "out2.pdf"), ZQPDF_ERR_READ);
    EXPECT_EQ(std::string(error()),
              "cannot read " + (pages / "gone.jpg") + ": No such file or directory");
    EXPECT_FALSE(fs::exists(pages / "out2.pdf"));
}

} // namespace
