// "/etc/hba.conf" as the common library reads it: which lines take a slot,
// what name and path they leave there, and which libraries then count as
// loaded.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "hba/common_library.h"
#include "hba/hba_api.h"
#include "tests/hba/hba_test_fixture.h"

namespace zrn_hba_test {
namespace {

std::string Replace(std::string text, const std::string& lib) {
  for (size_t at; (at = text.find("{lib}")) != std::string::npos;) text.replace(at, 5, lib);
  return text;
}

struct ConfCase {
  std::string line;  // written with a newline after it; "{lib}" is a stand-in's path
  bool takes_slot;
  std::string name;
  std::string path;
  bool loads;  // status 1 with a handle; otherwise the status stays and there is no handle
};

TEST_F(HbaLibraryTest, ConfLinesTakeSlotsWithNameAndFilteredPath) {
  const std::string lib = Install("libconf.so", StandinLibrary());
  const std::string marker = Install("libmarker.so", StandinLibrary());
  const std::string longPath = dir_ + "/" + std::string(260, 'p');
  const std::vector<ConfCase> cases = {
      {"# comment\t{lib}", false, "", "", false},
      {"", false, "", "", false},
      {"noseparator", false, "", "", false},
      {"name\t", false, "", "", false},
      {"name\t  \t ", false, "", "", false},
      {"name ", false, "", "", false},
      {"\t{lib}", false, "", "", false},
      {" {lib}", false, "", "", false},
      // Only the first character makes a comment.
      {"  # not a comment\t{lib}", true, "  # not a comment", "{lib}", true},
      {"qlogic\t{lib}", true, "qlogic", "{lib}", true},
      {"qlogic {lib}", true, "qlogic", "{lib}", true},
      {"qlogic    {lib}", true, "qlogic", "{lib}", true},
      // A TAB separates before an earlier blank, so the name keeps it.
      {"qlogic \t{lib}", true, "qlogic ", "{lib}", true},
      {"Q Logic HBA\t{lib}", true, "Q Logic HBA", "{lib}", true},
      {"qlogic\t \t  \t{lib}", true, "qlogic", "{lib}", true},
      {"qlogic {lib} trailing words", true, "qlogic", "{lib}", true},
      {"qlogic\t{lib}\r", true, "qlogic", "{lib}", true},
      {"qlogic\t{lib}   ", true, "qlogic", "{lib}", true},
      {"qlogic\t{lib}\xc3\xa9", true, "qlogic", "{lib}", true},
      // "-" is not a path character: the path ends before it.
      {"qlogic\t{lib}-x86_64.so", true, "qlogic", "{lib}", true},
      {"qlogic\t" + dir_ + "/missing.so", true, "qlogic", dir_ + "/missing.so", false},
      // A path the filter empties is not handed to the loader.
      {"qlogic\t-{lib}", true, "qlogic", "", false},
      {"qlogic\t\xc3\xa9", true, "qlogic", "", false},
      // Names keep 63 characters; a path over 255 keeps 255 and is not loaded.
      {std::string(100, 'n') + "\t{lib}", true, std::string(63, 'n'), "{lib}", true},
      {"qlogic\t" + longPath, true, "qlogic", longPath.substr(0, 255), false},
      // 511 characters per read: the rest of a longer line is a line of its own.
      {std::string(520, 'a') + "\t{lib}", true, std::string(9, 'a'), "{lib}", true},
  };
  for (const ConfCase& c : cases) {
    const std::string line = Replace(c.line, lib);
    SCOPED_TRACE(testing::Message() << "line \"" << line << "\"");
    WriteConf(line + "\nmarker\t" + marker + "\n");
    const int before = HbaLibrarySlot(0).status;
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    const HbaLibraryEntry& slot = HbaLibrarySlot(0);
    const HbaLibraryEntry& next = HbaLibrarySlot(c.takes_slot ? 1 : 0);
    EXPECT_STREQ(next.path, marker.c_str());
    EXPECT_EQ(next.status, kHbaLibraryLoaded);
    if (c.takes_slot) {
      EXPECT_EQ(std::string(slot.name), c.name);
      EXPECT_EQ(std::string(slot.path), Replace(c.path, lib));
      if (c.loads) {
        EXPECT_EQ(slot.status, kHbaLibraryLoaded);
        EXPECT_NE(slot.handle, nullptr);
      } else {
        EXPECT_EQ(slot.status, before);
        EXPECT_EQ(slot.handle, nullptr);
      }
    }
    ASSERT_EQ(HBA_FreeLibrary(), 0);
  }
}

TEST_F(HbaLibraryTest, LineWhoseLibraryIsMissingStillTakesItsSlot) {
  const std::string lib = Install("libsecond.so", StandinLibrary());
  WriteConf("first\t" + dir_ + "/absent.so\n# comment\nsecond\t" + lib + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(HbaLibrarySlot(0).handle, nullptr);
  EXPECT_STREQ(HbaLibrarySlot(1).name, "second");
  EXPECT_EQ(HbaLibrarySlot(1).status, kHbaLibraryLoaded);
}

TEST_F(HbaLibraryTest, FileWithoutUsableLinesChangesNoSlot) {
  std::vector<int> before;
  for (unsigned i = 0; i < kHbaMaxLibraries; ++i) before.push_back(HbaLibrarySlot(i).status);
  WriteConf("# only comments\n\n#qlogic\t/usr/lib/libqlsdm.so\nnoseparator\nname\t\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  for (unsigned i = 0; i < kHbaMaxLibraries; ++i) EXPECT_EQ(HbaLibrarySlot(i).status, before[i]);
  EXPECT_TRUE(Trace().empty());
}

TEST_F(HbaLibraryTest, MissingConfLoadsNothing) {
  EXPECT_EQ(HBA_LoadLibrary(), 1);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 0u);
}

// Only a regular file is read: a FIFO would block the run and /dev/zero
// never ends, so they and a directory count as a file that cannot be opened.
TEST_F(HbaLibraryTest, ConfThatIsNoRegularFileIsNotRead) {
  const struct {
    const char* what;
    void (*make)(const char* path);
  } cases[] = {
      {"link to /dev/zero", [](const char* path) { ASSERT_EQ(symlink("/dev/zero", path), 0); }},
      {"FIFO", [](const char* path) { ASSERT_EQ(mkfifo(path, 0644), 0); }},
      {"directory", [](const char* path) { ASSERT_EQ(mkdir(path, 0755), 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all("/etc/hba.conf");
    c.make("/etc/hba.conf");
    EXPECT_EQ(HBA_LoadLibrary(), 1);
    EXPECT_EQ(HBA_GetNumberOfAdapters(), 0u);
    EXPECT_TRUE(Trace().empty());
  }
  std::filesystem::remove_all("/etc/hba.conf");
}

// Reading stops at kHbaConfMaxBytes: a line that starts before it loads, one
// that starts at or after it does not.
TEST_F(HbaLibraryTest, ConfIsReadUpToItsBound) {
  const std::string before = Install("libbefore.so", StandinLibrary());
  const std::string after = Install("libafter.so", StandinLibrary());
  const std::string beforeLine = "before\t" + before + "\n";
  // Comment lines up to the offset where the "before" line must start.
  const size_t fill = kHbaConfMaxBytes - beforeLine.size();
  std::string comments;
  while (fill - comments.size() > 200) comments += "#" + std::string(98, 'c') + "\n";
  comments += "#" + std::string(fill - comments.size() - 2, 'c') + "\n";
  WriteConf(comments + beforeLine + "after\t" + after + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_STREQ(HbaLibrarySlot(0).name, "before");
  EXPECT_EQ(HbaLibrarySlot(0).status, kHbaLibraryLoaded);
  EXPECT_TRUE(TraceOf("libafter.so").empty());
}

// A library that fills a larger entry table than the one it is given
// changes no slot but its own, and that one only as its table says.
TEST_F(HbaLibraryTest, RegistrationWrittenPastTheTable) {
  StandinLibrary spilling = LibraryWith({"a0"});
  spilling.spill = 4096;
  WriteConf("first\t" + Install("libspill.so", spilling) + "\nsecond\t" +
            Install("libnext.so", LibraryWith({"b0"})) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(HbaLibrarySlot(0).status, kHbaLibraryLoaded);
  EXPECT_STREQ(HbaLibrarySlot(1).name, "second");
  EXPECT_EQ(HbaLibrarySlot(1).status, kHbaLibraryLoaded);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 2u);
  char name[64];
  ASSERT_EQ(HBA_GetAdapterName(1, name), HBA_STATUS_OK);
  EXPECT_STREQ(name, "b0");
}

TEST_F(HbaLibraryTest, LinesBeyondTheThirtySecondUsableOneAreLeftOut) {
  const std::string lib = Install("liblast.so", StandinLibrary());
  std::string conf;
  for (int i = 0; i < 32; ++i) conf += "n" + std::to_string(i) + "\t" + dir_ + "/none.so\n";
  WriteConf(conf + "last\t" + lib + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_STREQ(HbaLibrarySlot(31).name, "n31");
  EXPECT_TRUE(TraceOf("liblast.so").empty());
}

struct RegistrationCase {
  const char* what;
  void (*adjust)(StandinLibrary*);
  int status;  // -1: stays as it was
  std::vector<std::string> trace;
};

TEST_F(HbaLibraryTest, OnlyAFullRegistrationCountsAsLoaded) {
  const std::vector<RegistrationCase> cases = {
      {"complete",
       [](StandinLibrary*) {},
       kHbaLibraryLoaded,
       {"loaded", "HBA_RegisterLibrary", "GetVersion", "LoadLibrary"}},
      {"registration fails",
       [](StandinLibrary* l) { l->register_status = 5; },
       kHbaLibraryFailed,
       {"loaded", "HBA_RegisterLibrary"}},
      {"version 0",
       [](StandinLibrary* l) { l->version = 0; },
       kHbaLibraryFailed,
       {"loaded", "HBA_RegisterLibrary", "GetVersion"}},
      {"LoadLibrary fails",
       [](StandinLibrary* l) { l->load_status = 3; },
       kHbaLibraryFailed,
       {"loaded", "HBA_RegisterLibrary", "GetVersion", "LoadLibrary"}},
      {"no GetVersion",
       [](StandinLibrary* l) { l->missing = {"GetVersion"}; },
       -1,
       {"loaded", "HBA_RegisterLibrary"}},
      {"no LoadLibrary",
       [](StandinLibrary* l) { l->missing = {"LoadLibrary"}; },
       -1,
       {"loaded", "HBA_RegisterLibrary", "GetVersion"}},
  };
  int serial = 0;
  for (const RegistrationCase& c : cases) {
    SCOPED_TRACE(c.what);
    StandinLibrary library;
    c.adjust(&library);
    const std::string file = "libreg" + std::to_string(++serial) + ".so";
    WriteConf("vendor\t" + Install(file, library) + "\n");
    ClearTrace();
    const int before = HbaLibrarySlot(0).status;
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    EXPECT_EQ(HbaLibrarySlot(0).status, c.status < 0 ? before : c.status);
    EXPECT_EQ(TraceOf(file), c.trace);
    ASSERT_EQ(HBA_FreeLibrary(), 0);
  }
}

TEST_F(HbaLibraryTest, LibraryThatDoesNotRegisterOrOpenIsNotLoaded) {
  const std::string noRegister = dir_ + "/libnoregister.so";
  std::filesystem::copy_file(ZRN_NO_REGISTER_LIBRARY, noRegister);
  const std::string notALibrary = dir_ + "/libtext.so";
  {
    std::FILE* f = std::fopen(notALibrary.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("not a shared library\n", f);
    std::fclose(f);
  }
  WriteConf("a\t" + noRegister + "\nb\t" + notALibrary + "\n");
  const int before0 = HbaLibrarySlot(0).status;
  const int before1 = HbaLibrarySlot(1).status;
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(HbaLibrarySlot(0).status, before0);
  EXPECT_NE(HbaLibrarySlot(0).handle, nullptr);
  EXPECT_EQ(HbaLibrarySlot(0).entryPoints.GetVersionHandler, nullptr);
  EXPECT_EQ(HbaLibrarySlot(1).status, before1);
  EXPECT_EQ(HbaLibrarySlot(1).handle, nullptr);
}

}  // namespace
}  // namespace zrn_hba_test
