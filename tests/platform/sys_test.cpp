#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/sys/file_io.h"
#include "platform/sys/known_folders.h"
#include "platform/sys/process.h"
#include "platform/sys/single_instance.h"
#include "support/one_processor.h"
#include "support/temp_dir.h"

namespace qvl::sys {
namespace {

class EnvGuard {
public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) old_ = v, had_ = true;
    }
    ~EnvGuard() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    void set(const char* v) { setenv(name_, v, 1); }
    void unset() { unsetenv(name_); }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

// What `taskset -c 3` gives a process: one processor to run on, whatever
// the machine has.
TEST(Processors, TheCountIsThatOfTheAffinityMask) {
    const std::uint32_t counted = test::onOneProcessor([] { return usableProcessorCount(); });
    EXPECT_EQ(counted, 1U);
    EXPECT_GE(usableProcessorCount(), 1U);
}

TEST(KnownFolders, OverrideThenXdgThenHome) {
    EnvGuard own("QVL_ROAMING_DIR"), xdg("XDG_CONFIG_HOME"), home("HOME");
    EnvGuard ownLocal("QVL_LOCAL_DIR"), xdgLocal("XDG_DATA_HOME");
    home.set("/home/pilot");
    own.unset();
    xdg.unset();
    ownLocal.unset();
    xdgLocal.unset();
    EXPECT_EQ(roamingAppDataFolder(), "/home/pilot/.config");
    EXPECT_EQ(localAppDataFolder(), "/home/pilot/.local/share");
    xdg.set("/xdg/config");
    xdgLocal.set("/xdg/data");
    EXPECT_EQ(roamingAppDataFolder(), "/xdg/config");
    EXPECT_EQ(localAppDataFolder(), "/xdg/data");
    own.set("/tmp/roaming");
    ownLocal.set("/tmp/local");
    EXPECT_EQ(roamingAppDataFolder(), "/tmp/roaming");
    EXPECT_EQ(localAppDataFolder(), "/tmp/local");
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds) {
    test::TempDir dir;
    {
        SingleInstance first("Local\\$QVLT$", dir.path());
        ASSERT_TRUE(first.acquired());
        EXPECT_EQ(first.lockFile().filename(), "Local__QVLT_.lock");
        SingleInstance second("Local\\$QVLT$", dir.path());
        EXPECT_FALSE(second.acquired());
        SingleInstance other("Local\\$OTHER$", dir.path());
        EXPECT_TRUE(other.acquired());
    }
    SingleInstance again("Local\\$QVLT$", dir.path());
    EXPECT_TRUE(again.acquired());

    SingleInstance nowhere("x", dir / "missing" / "folder");
    EXPECT_FALSE(nowhere.acquired());
}

TEST(Files, DurableWriteThenAReplacingRename) {
    test::TempDir dir;
    test::writeFile(dir / "target.xml", "old");
    ASSERT_TRUE(writeFileDurably(dir / "target.xml.tmp", "new content"));
    ASSERT_TRUE(replaceFile(dir / "target.xml.tmp", dir / "target.xml"));
    EXPECT_EQ(test::readFile(dir / "target.xml"), "new content");
    EXPECT_FALSE(std::filesystem::exists(dir / "target.xml.tmp"));

    EXPECT_FALSE(writeFileDurably(dir / "missing" / "x", "x"));
    EXPECT_FALSE(replaceFile(dir / "missing.tmp", dir / "target.xml"));
    EXPECT_EQ(openFile(dir / "missing" / "x", "wb"), nullptr);
    std::FILE* file = openFile(dir / "c.bin", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_GE(std::fputs("abc", file), 0);
    EXPECT_TRUE(flushToDisk(file));
    EXPECT_EQ(test::readFile(dir / "c.bin"), "abc");  // on disk before the close
    std::fclose(file);
}

}  // namespace
}  // namespace qvl::sys
