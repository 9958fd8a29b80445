// The folder walk through links: a folder is entered once whichever way
// leads to it first, a link back up is not followed, nor one out of the tree.
#include "core/folder_walk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/text_file.h"
#include "support/logged_folder.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

class FolderWalkTest : public test::LoggedFolder {
protected:
    // Every entry the walk hands over, below the tree, '+' after a folder.
    std::vector<std::string> walked(const fs::path& root) {
        std::vector<std::string> seen;
        const std::size_t rootLength = gf_pathToUtf8(root).size() + 1;
        walkFolderTree(root, "test walk", [&](const WalkEntry& e) {
            seen.push_back(e.pathText.substr(rootLength) + (e.folder ? "+" : ""));
            return WalkStep::go;
        });
        return seen;
    }
};

TEST_F(FolderWalkTest, AFolderIsEnteredOnceWhicheverWayLeadsToItFirst) {
    const fs::path root = dir / "tree";
    fs::create_directories(root / "b" / "inner");
    fs::create_directories(root / "z");
    fs::create_directories(dir / "outside");
    test::writeFile(root / "b" / "inner" / "aircraft.cfg", "x");
    test::writeFile(root / "z" / "aircraft.cfg", "x");
    test::writeFile(dir / "outside" / "aircraft.cfg", "x");
    fs::create_directory_symlink(root / "z", root / "a_to_z");      // before the folder it leads to
    fs::create_directory_symlink(root / "b", root / "c_to_b");      // after it
    fs::create_directory_symlink(root, root / "b" / "up");          // back up the tree
    fs::create_directory_symlink(dir / "outside", root / "d_out");  // out of the tree

    EXPECT_EQ(walked(root), (std::vector<std::string>{"a_to_z+", "a_to_z/aircraft.cfg", "b+", "b/inner+",
                                                      "b/inner/aircraft.cfg", "b/up+", "c_to_b+", "d_out+", "z+"}));
    EXPECT_TRUE(logged("test walk: link out of the folder not followed: " + gf_pathToUtf8(root / "d_out")));
}

}  // namespace
}  // namespace qvl
