// Guards against either Windows back-end drawing the editor differently from the Linux build:
// each panel, read back from the real plug-in's window, must match the golden pictures.
// Usage: gravelix_win32_golden_tests HOST_EXE PLUGIN_DLL GOLDEN_DIR
#include <objidl.h>
#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace Gdip = Gdiplus::DllExports;

std::string hostExe, pluginDll, goldenDir;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb; // straight alpha, row by row
};

// Decodes a PNG file with GDI+; empty when it does not exist or decode.
Picture load(const std::string& path) {
    Picture picture;
    const std::wstring wide(path.begin(), path.end());
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdip::GdipCreateBitmapFromFile(wide.c_str(), &bitmap) != Gdiplus::Ok) {
        return picture;
    }
    UINT w = 0, h = 0;
    Gdip::GdipGetImageWidth(bitmap, &w);
    Gdip::GdipGetImageHeight(bitmap, &h);
    picture.argb.resize(std::size_t(w) * h);
    Gdiplus::BitmapData data{};
    data.Width = w;
    data.Height = h;
    data.Stride = INT(w * 4);
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = picture.argb.data();
    const Gdiplus::GpRect all(0, 0, INT(w), INT(h));
    if (Gdip::GdipBitmapLockBits(bitmap, &all,
                                 Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &data) == Gdiplus::Ok) {
        Gdip::GdipBitmapUnlockBits(bitmap, &data);
        picture.width = INT(w);
        picture.height = INT(h);
    } else {
        picture.argb.clear();
    }
    Gdip::GdipDisposeImage(bitmap);
    return picture;
}

// Runs the command line with GRAVELIX_GRAPHICS set to `backend` (unset when empty); its exit
// code, or -1 when it did not start or end within two minutes.
int run(std::string commandLine, const char* backend) {
    SetEnvironmentVariableA("GRAVELIX_GRAPHICS", *backend ? backend : nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableA("GRAVELIX_GRAPHICS", nullptr);
    if (!started) {
        return -1;
    }
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return int(code);
}

struct Case {
    const char* backend; // GRAVELIX_GRAPHICS value; "" leaves the choice to the system
    const char* name;
    bool back;
};

class GoldenPanels : public testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token); }
    static inline ULONG_PTR token = 0;
};

TEST_P(GoldenPanels, MatchTheLinuxGoldenWithinTwoPerChannel) {
    const Case& c = GetParam();
    const std::string panel = c.back ? "back" : "front";
    const std::string out = "golden-" + panel + "-" + c.name + ".png";
    DeleteFileA(out.c_str());
    const std::string command = "\"" + hostExe + "\" snapshot \"" + pluginDll + "\" \"" + out +
                                "\"" + (c.back ? " --back" : "");
    ASSERT_EQ(run(command, c.backend), 0) << command;

    const Picture actual = load(out);
    const Picture golden = load(goldenDir + "\\" + panel + ".png");
    ASSERT_GT(golden.width, 0) << "no golden picture in " << goldenDir;
    ASSERT_EQ(actual.width, golden.width);
    ASSERT_EQ(actual.height, golden.height);
    int largest = 0;
    long off = 0;
    for (std::size_t i = 0; i < golden.argb.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) { // red, green, blue
            const int d = std::abs(int((actual.argb[i] >> shift) & 0xFF) -
                                   int((golden.argb[i] >> shift) & 0xFF));
            largest = d > largest ? d : largest;
            off += d > 2 ? 1 : 0;
        }
    }
    RecordProperty("largest_difference", largest);
    std::printf("%s panel with %s: largest channel difference %d, %ld channels over 2\n",
                panel.c_str(), c.name, largest, off);
    EXPECT_EQ(off, 0) << "largest difference " << largest << "; picture kept in " << out;
}

INSTANTIATE_TEST_SUITE_P(BothBackends, GoldenPanels,
                         testing::Values(Case{"", "direct2d", false}, Case{"", "direct2d", true},
                                         Case{"gdiplus", "gdiplus", false},
                                         Case{"gdiplus", "gdiplus", true}),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name) +
                                    (info.param.back ? "Back" : "Front");
                         });

} // namespace

// A path from the Linux side of a cross build (/...) as Wine names it (Z:\...), so the host's
// command line never mistakes it for an option.
std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s HOST_EXE PLUGIN_DLL GOLDEN_DIR\n", argv[0]);
        return 2;
    }
    hostExe = windowsPath(argv[1]);
    pluginDll = windowsPath(argv[2]);
    goldenDir = windowsPath(argv[3]);
    return RUN_ALL_TESTS();
}
