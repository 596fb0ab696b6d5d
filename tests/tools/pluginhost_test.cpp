// Guards against a host that crashes on, or misreports, libraries it cannot use as plug-ins,
// and against callback recording that loses or mixes up calls under several threads.
#include "testsupport.h"
#include "tools/hosting/pluginhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

using gravelix::host::HostCall;
using gravelix::host::LoadError;
using gravelix::host::PluginHost;

namespace {

std::string fixture(const std::string& name) {
    return std::string(FIXTURE_DIR) + "/hostfixture_" + name + ".so";
}

LoadError::Kind loadFailure(const std::string& path, std::string& message) {
    try {
        PluginHost plugin(path);
    } catch (const LoadError& e) {
        message = e.what();
        return e.kind();
    }
    ADD_FAILURE() << path << " loaded";
    return LoadError::Kind::MissingFile;
}

} // namespace

TEST(PluginLoading, EachFailureHasItsKindAndAOneLineMessageNamingTheFile) {
    toolstest::TempDir dir;
    const std::string text = dir / "notes.so";
    std::ofstream(text) << "not a library\n";
    struct Case {
        std::string path;
        LoadError::Kind kind;
        const char* words;
    } cases[] = {
        {dir / "absent.so", LoadError::Kind::MissingFile, "no such file"},
        {dir / "", LoadError::Kind::NotSharedLibrary, "neither a shared library nor an LV2 bundle"},
        {text, LoadError::Kind::NotSharedLibrary, "shared library"},
        {fixture("no_entry"), LoadError::Kind::NoEntryPoint, "VSTPluginMain"},
        {fixture("null"), LoadError::Kind::NullEffect, "returned no effect"},
        {fixture("bad_magic"), LoadError::Kind::BadMagic, "0x12345678"},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(loadFailure(c.path, message), c.kind) << c.path;
        EXPECT_NE(message.find(c.path), std::string::npos) << message;
        EXPECT_NE(message.find(c.words), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

TEST(PluginLoading, AFileNameWithoutSlashIsOpenedInTheCurrentDirectoryNotSearched) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(FIXTURE_DIR);
    std::string message;
    // The system library path holds no such file; only the current directory does.
    EXPECT_NO_THROW(PluginHost plugin("hostfixture_good.so"));
    std::filesystem::current_path(cwd);
}

TEST(PluginLoading, OlderEntryNameIsUsedAndTheHostAnswersVersion2400) {
    // The fixture refuses to create its effect for any other version.
    PluginHost plugin(fixture("main_only"));
    EXPECT_EQ(plugin.effectName(), "Fixture");
    const auto calls = plugin.state().calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, audioMasterVersion);
}

TEST(PluginLoading, CloseReachesTheEffectOnceAndLeavesNothingToCallThrough) {
    PluginHost plugin(fixture("good"));
    auto& state = plugin.state();
    plugin.close();
    plugin.close();
    EXPECT_EQ(plugin.effect(), nullptr);
    const auto calls = state.calls();
    EXPECT_EQ(
        std::count_if(calls.begin(), calls.end(),
                      [](const HostCall& c) { return c.opcode == audioMasterVendorSpecific; }),
        1);
}

TEST(PluginLoading, TwoInstancesOfOneLibraryKeepTheirCallsApart) {
    PluginHost a(fixture("good"));
    PluginHost b(fixture("good"));
    a.state().clearCalls();
    b.state().clearCalls();
    a.dispatch(effVendorSpecific, 3, 2);
    EXPECT_EQ(a.state().calls().size(), 4u);
    EXPECT_TRUE(b.state().calls().empty());
    // Moving the owner must not strand the callback's view of the host.
    PluginHost moved(std::move(b));
    moved.dispatch(effVendorSpecific, 1, 1);
    EXPECT_EQ(moved.state().calls().size(), 3u);
}

TEST(HostCallback, GesturesFromManyThreadsAreAllRecordedInOrderPerThread) {
    PluginHost plugin(fixture("good"));
    plugin.state().clearCalls();
    constexpr int kThreads = 4, kAutomations = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&plugin, t] { plugin.dispatch(effVendorSpecific, t, kAutomations); });
    }
    for (auto& t : threads) {
        t.join();
    }
    const auto calls = plugin.state().calls();
    ASSERT_EQ(calls.size(), std::size_t(kThreads * (kAutomations + 2)));
    for (int t = 0; t < kThreads; ++t) {
        std::vector<HostCall> mine;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(mine),
                     [t](const HostCall& c) { return c.index == t; });
        ASSERT_EQ(mine.size(), std::size_t(kAutomations + 2));
        EXPECT_EQ(mine.front().opcode, audioMasterBeginEdit);
        EXPECT_EQ(mine.back().opcode, audioMasterEndEdit);
        for (int i = 0; i < kAutomations; ++i) {
            EXPECT_EQ(mine[std::size_t(i) + 1].opt, float(i));
        }
    }
}

TEST(PluginQueries, NamesAreFoundCaseInsensitivelyAndUnknownOnesAreReported) {
    PluginHost plugin(fixture("good"));
    EXPECT_EQ(plugin.findParameter(" mix "), 1);
    EXPECT_EQ(plugin.findParameter("volume"), -1);
    EXPECT_EQ(plugin.findProgram("SECOND"), 1);
    EXPECT_EQ(plugin.findProgram("Third"), -1);
}
