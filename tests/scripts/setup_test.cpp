// scripts/setup on a machine whose mirror serves an index that no longer matches its
// Release file, and the copy of the package sources it installs from then
// (scripts/apt-sources-without). Everything goes through apt's own configuration
// (APT_CONFIG): the sources are sample files, the package world is a local file
// repository with a simulated install (tests/scripts/make-stale-mirror), so the tests
// need no network and leave the machine's package state as it was. Native only: the
// scripts are bash scripts of the native tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "harness/session/console_session.h"

#if !defined(_WIN32)
#include <sys/wait.h>

namespace zentor {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::ScratchDirectory;

const fs::path kSamples = fs::path(ZENTOR_TEST_DATA_DIR) / "setup";

struct CommandRun {
  int status = -1;  // the exit status, -1 when it did not end normally
  std::string output;
};

// A shell command with its output (standard output and error) kept in `log`.
CommandRun RunShell(const std::string& command, const fs::path& log) {
  const int status = std::system((command + " >'" + log.string() + "' 2>&1").c_str());
  return CommandRun{status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(log)};
}

// An apt configuration whose sources are the files of `machine`, with empty lists and
// caches of its own beside the configuration (the machine's are neither read nor
// written).
void WriteSourcesConfig(const fs::path& config, const fs::path& machine) {
  const fs::path state = config.string() + ".state";
  fs::create_directories(state / "lists/partial");
  fs::create_directories(state / "cache");
  std::FILE* out = std::fopen(config.c_str(), "w");
  ASSERT_NE(out, nullptr);
  std::fprintf(out,
               "Dir::Etc::sourcelist \"%s/sources.list\";\nDir::Etc::sourceparts \"%s/sources.list.d\";\n"
               "Dir::State::lists \"%s/lists\";\nDir::Cache \"%s/cache\";\nDebug::NoLocking \"true\";\n",
               machine.c_str(), machine.c_str(), state.c_str(), state.c_str());
  std::fclose(out);
}

// The files under a folder, by their path within it, with their bytes.
std::map<std::string, std::string> FilesUnder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = ReadFileBytes(entry.path());
  }
  return files;
}

// What apt itself reads from the sources an APT_CONFIG names: "URI SUITE" of each
// index target, the URI without its trailing slash.
std::set<std::string> AptTargets(const fs::path& config, const fs::path& scratch) {
  const CommandRun run = RunShell("APT_CONFIG='" + config.string() +
                                 "' apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE)' 2>/dev/null",
                             scratch / "targets.txt");
  std::set<std::string> targets;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    // apt's warnings (one source listed twice, as the samples do on purpose) come
    // among the targets.
    if (line.rfind("W: ", 0) == 0) continue;
    std::istringstream words(line);
    std::string uri, suite;
    words >> uri >> suite;
    if (!uri.empty() && uri.back() == '/') uri.pop_back();
    targets.insert(uri + " " + suite);
  }
  return targets;
}

std::string Joined(const std::set<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The sample machine's sources (one-line entries with options, comments and a URI
// with a trailing slash; deb822 stanzas with several suites, several URIs, fields on
// continuation lines and comments inside; a file apt does not read) less each case's
// stale indexes: the files written are the golden ones, and what apt reads from them
// is what it reads from the machine's own less exactly the entries printed as taken out.
TEST(AptSourcesWithoutTest, LeavesOutTheStaleSuitesAndKeepsTheRest) {
  const struct {
    const char* name;
    std::vector<std::string> stale;  // URI SUITE pairs, as apt's failed fetches name them
    int status;
  } cases[] = {
      // Today's stale mirror: a stanza left with no suite, one split between two URIs
      // (the suite stays with the mirror that served it), one-line entries commented.
      {"security", {"http://deb.debian.org/debian-security", "bookworm-security"}, 0},
      // A URI no source lists (a redirect): the suite goes under every URI.
      {"redirected", {"http://security.debian.org/debian-security", "bookworm-security"}, 0},
      // A suite among others in one Suites line leaves it alone.
      {"two-suites",
       {"http://deb.debian.org/debian-security", "bookworm-security", "http://deb.debian.org/debian", "bookworm-updates"},
       0},
      // No source lists the suite: nothing to leave out, and the caller is told.
      {"unlisted", {"http://deb.debian.org/debian", "bookworm-backports"}, 1},
  };
  ScratchDirectory scratch("apt-sources-without");
  const fs::path machineConfig = scratch.Path() / "machine.conf";
  WriteSourcesConfig(machineConfig, kSamples / "machine");
  const std::set<std::string> machineTargets = AptTargets(machineConfig, scratch.Path());
  ASSERT_GT(machineTargets.size(), 5u) << "apt reads no sources from the samples";
  const std::map<std::string, std::string> machineBefore = FilesUnder(kSamples / "machine");

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path out = scratch.Path() / c.name;
    std::string command = "APT_CONFIG='" + machineConfig.string() + "' '" ZENTOR_SOURCE_DIR
                          "/scripts/apt-sources-without' '" + out.string() + "'";
    for (const std::string& word : c.stale) command += " '" + word + "'";
    const CommandRun run = RunShell(command, scratch.Path() / (std::string(c.name) + ".printed"));
    EXPECT_EQ(run.status, c.status) << run.output;

    const fs::path expected = kSamples / "expected" / c.name;
    std::map<std::string, std::string> written = FilesUnder(out);
    written["printed"] = run.output;
    EXPECT_EQ(written, FilesUnder(expected));

    const fs::path reducedConfig = scratch.Path() / (std::string(c.name) + ".conf");
    WriteSourcesConfig(reducedConfig, out);
    std::set<std::string> expectedTargets = machineTargets;
    std::istringstream printed(run.output);
    for (std::string uri, suite; printed >> uri >> suite;) {
      EXPECT_EQ(expectedTargets.erase(uri + " " + suite), 1u) << uri << " " << suite << " was not a source";
    }
    EXPECT_EQ(Joined(AptTargets(reducedConfig, scratch.Path())), Joined(expectedTargets));
  }
  EXPECT_EQ(FilesUnder(kSamples / "machine"), machineBefore);
}

// scripts/setup in a package world of its own (tests/scripts/make-stale-mirror), to
// install toolz and toolz32:i386: the world made `fresh` or `stale`, libz installed
// at `installedLibz`, and the `installed` packages in its status too.
struct SetupWorld {
  std::string state;
  std::string installedLibz;
  std::vector<std::string> installed;
};

class SetupTest : public testing::Test {
 protected:
  SetupTest() : m_scratch("setup") {}

  CommandRun RunSetup(const SetupWorld& world) {
    const fs::path dir = m_scratch.Path() / "world";
    const CommandRun made = RunShell("'" ZENTOR_SOURCE_DIR "/tests/scripts/make-stale-mirror' '" + dir.string() + "' " +
                                    world.state + " " + world.installedLibz,
                                m_scratch.Path() / "make.log");
    EXPECT_EQ(made.status, 0) << made.output;
    for (const std::string& package : world.installed) {
      std::FILE* status = std::fopen((dir / "state/dpkg/status").c_str(), "a");
      std::fprintf(status,
                   "Package: %s\nStatus: install ok installed\nVersion: 1.0\nArchitecture: %s\nMaintainer: t <t@t>\n"
                   "Description: installed before\n\n",
                   package.substr(0, package.find(':')).c_str(), package.find(":i386") != std::string::npos ? "i386" : "amd64");
      std::fclose(status);
    }
    m_before = MachineState(dir);
    CommandRun run = RunShell("APT_CONFIG='" + (dir / "apt.conf").string() +
                             "' ZENTOR_SETUP_RETRY_PAUSE=0 ZENTOR_SETUP_PACKAGES='toolz toolz32:i386' '" ZENTOR_SOURCE_DIR
                             "/scripts/setup'",
                         m_scratch.Path() / "setup.log");
    m_after = MachineState(dir);
    return run;
  }

  // The world's own sources, lists and package status: what the set-up must leave as
  // it was (a simulated install changes none of them).
  static std::map<std::string, std::string> MachineState(const fs::path& dir) {
    std::map<std::string, std::string> state;
    for (const char* folder : {"etc", "state"}) {
      for (const auto& [name, bytes] : FilesUnder(dir / folder)) state[std::string(folder) + "/" + name] = bytes;
    }
    return state;
  }

  ScratchDirectory m_scratch;
  std::map<std::string, std::string> m_before;
  std::map<std::string, std::string> m_after;
};

const char kInstalling[] = "setup: installing toolz toolz32:i386\n";
const char kFallback[] =
    "setup: the install failed while the index of base-security could not be refreshed; installing from the "
    "machine's package sources less base-security\n";
const char kLater[] =
    "setup: the updates of base-security come with the machine's next ordinary upgrade (apt-get update && apt-get "
    "upgrade)\n";

// The stale index keeps the security suite's amd64 libz (1.2) while only base's 1.1 is
// there for i386: the first install fails as Wine's did, the one from the sources less
// the security suite takes 1.1 on both architectures.
TEST_F(SetupTest, InstallsFromTheOtherSuitesWhenAStaleIndexBreaksTheInstall) {
  const CommandRun run = RunSetup({"stale", "1.0", {}});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, std::string(kInstalling) + kFallback + kLater);
  EXPECT_EQ(m_after, m_before);
}

// Every index fresh: one install, and nothing said of a fallback.
TEST_F(SetupTest, InstallsOnceWhenEveryIndexIsFresh) {
  const CommandRun run = RunSetup({"fresh", "1.0", {}});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, kInstalling);
}

// Nothing missing: quiet, and apt is not even asked (the lists stay as they were).
TEST_F(SetupTest, SaysNothingWhenEverythingIsInstalled) {
  const CommandRun run = RunSetup({"stale", "1.0", {"toolz", "toolz32:i386"}});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(m_after, m_before);
}

// libz 1.2 installed: no source has an i386 libz to match, with or without the
// security suite. The second install fails too: apt's own errors, the command to try
// again by hand, a failed status, and the machine as it was.
TEST_F(SetupTest, ReportsAptsErrorsWhenTheInstallFailsWithoutTheStaleSuiteToo) {
  const CommandRun run = RunSetup({"stale", "1.2", {}});
  EXPECT_NE(run.status, 0) << run.output;
  EXPECT_EQ(run.output.rfind(std::string(kInstalling) + kFallback, 0), 0u) << run.output;
  EXPECT_NE(run.output.find("E: Unable to correct problems, you have held broken packages."), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\nsetup: to try again by hand (as root): apt-get update && apt-get install "
                            "--no-install-recommends toolz toolz32:i386\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find(kLater), std::string::npos) << run.output;
  EXPECT_EQ(m_after, m_before);
}

}  // namespace
}  // namespace zentor

#endif
