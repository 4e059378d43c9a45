#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/CBackend.h"
#include "platform/PlatformError.h"
#include "support/ChildProcess.h"
#include "support/TempHome.h"

namespace {

using platform::CBackend;

// Sets ZENTROVA_BACKEND (or clears it) for one case and puts the old value back.
class BackendVariable {
  public:
    explicit BackendVariable(const std::optional<std::string>& value) {
        if (const char* old = std::getenv(CBackend::kEnvironment)) {
            _old = old;
        }
        if (value) {
            ::setenv(CBackend::kEnvironment, value->c_str(), 1);
        } else {
            ::unsetenv(CBackend::kEnvironment);
        }
    }
    ~BackendVariable() {
        if (_old) {
            ::setenv(CBackend::kEnvironment, _old->c_str(), 1);
        } else {
            ::unsetenv(CBackend::kEnvironment);
        }
    }

  private:
    std::optional<std::string> _old;
};

// The option wins over the variable, an empty variable counts as unset, the simulated phone is
// the default, and a bad value of either is an error that names it.
TEST(BackendChoiceTest, OptionThenVariableThenSimulatedPhone) {
    struct Case {
        std::string option;
        std::optional<std::string> variable;
        std::optional<CBackend::Kind> expected;  // none: refused
        std::string errorNames;
    };
    const Case cases[] = {
        {"", std::nullopt, CBackend::Kind::Sim, ""},
        {"", "", CBackend::Kind::Sim, ""},
        {"", "linux", CBackend::Kind::Linux, ""},
        {"", "sim", CBackend::Kind::Sim, ""},
        {"sim", "linux", CBackend::Kind::Sim, ""},
        {"linux", "sim", CBackend::Kind::Linux, ""},
        {"linux", "bogus", CBackend::Kind::Linux, ""},
        {"Linux", std::nullopt, std::nullopt, "'Linux'"},
        {"windows", "sim", std::nullopt, "'windows'"},
        {"", "android", std::nullopt, "ZENTROVA_BACKEND: unknown backend 'android'"},
        {"", " sim", std::nullopt, "' sim'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("option '" + c.option + "', variable " +
                     (c.variable ? "'" + *c.variable + "'" : "unset"));
        BackendVariable variable(c.variable);
        if (c.expected) {
            EXPECT_EQ(CBackend::choose(c.option), *c.expected);
        } else {
            try {
                CBackend::choose(c.option);
                ADD_FAILURE() << "accepted";
            } catch (const platform::PlatformError& e) {
                EXPECT_NE(std::string(e.what()).find(c.errorNames), std::string::npos) << e.what();
                EXPECT_NE(std::string(e.what()).find("expected sim or linux"), std::string::npos) << e.what();
            }
        }
    }
    EXPECT_STREQ(CBackend::name(CBackend::Kind::Sim), "sim");
    EXPECT_STREQ(CBackend::name(CBackend::Kind::Linux), "linux");
}

// A module that is missing, or that is not a backend, is a clear error naming the file.
TEST(BackendChoiceTest, ModuleThatCannotServeIsAClearError) {
    TempHome home;
    struct Case {
        std::string file;
        std::string says;
    };
    const Case cases[] = {
        {(home.root() / "libNothingHere.so").string(), "cannot open the backend module"},
        // A real shared library without the backend's entry.
        {std::string(ZENTROVA_BIN_DIR) + "/libZentrovaDLL.so", "has no entry zentrova_create_services"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        try {
            CBackend::loadModule(c.file, home.root() / "other", platform::Services::Role::Tool);
            ADD_FAILURE() << "loaded";
        } catch (const platform::PlatformError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos) << e.what();
        }
    }
}

// The programs pick the backend the same way: the simulated phone by default, a bad choice
// refused before anything runs, with the value named.
TEST(BackendChoiceTest, ProgramsTakeTheOptionAndTheVariable) {
    TempHome home;
    const std::string bin = ZENTROVA_BIN_DIR;
    struct Case {
        std::string program;
        std::vector<std::string> args;
        std::string variable;  // ZENTROVA_BACKEND; empty: unset
        int code;
        std::string says;
    };
    const Case cases[] = {
        {"zentrova-device", {"status"}, "", 0, "backend=sim\n"},
        {"zentrova-device", {"--backend", "sim", "status"}, "linux", 0, "backend=sim\n"},
        {"zentrova-device", {"--backend", "phone", "status"}, "", 1, "unknown backend 'phone'"},
        {"zentrova-device", {"status"}, "mobile", 1, "ZENTROVA_BACKEND: unknown backend 'mobile'"},
        {"zentrova-device", {"--backend"}, "", 2, "--backend needs a value"},
        {"zentrova", {"--backend", "phone"}, "", 1, "unknown backend 'phone'"},
        {"zentrova", {"--install"}, "mobile", 1, "ZENTROVA_BACKEND: unknown backend 'mobile'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + (c.args.empty() ? "" : c.args[0]) + " / " + c.variable);
        std::map<std::string, std::string> env{{"ZENTROVA_HOME", (home.root() / "h").string()},
                                               {"ZENTROVA_BACKEND", c.variable},
                                               {"QT_QPA_PLATFORM", "offscreen"}};
        ChildProcess p(bin + "/" + c.program, c.args, env, home.root() / "out.txt");
        EXPECT_EQ(p.wait(std::chrono::seconds(30)), c.code) << p.output();
        EXPECT_NE(p.output().find(c.says), std::string::npos) << p.output();
    }
}

}  // namespace
