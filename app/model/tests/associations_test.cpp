// Registering and unregistering image types against a scratch XDG home.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "lumapix/associations.h"
#include "test_files.hpp"

namespace {

namespace fs = std::filesystem;
using namespace lumapix;
using testfiles::ReadText;

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    testfiles::WriteText(path, text);
}

const AssociationRow& Row(const std::string& label) {
    for (const AssociationRow& row : kAssociationRows)
        if (label == row.label) return row;
    throw std::runtime_error("no row " + label);
}

AssociationTicks Only(const std::string& label) {
    AssociationTicks ticks{};
    for (size_t i = 0; i < kAssociationRowCount; ++i) ticks[i] = label == kAssociationRows[i].label;
    return ticks;
}

class AssociationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.ok());
        root_ = scratch_.path();
        env_.configHome = root_ / "config";
        env_.dataHome = root_ / "data";
        env_.dataDirs = {root_ / "system"};
        env_.viewerPath = "/opt/lumapix/bin/lumapix-viewer";
        env_.runTool = [this](const std::vector<std::string>& argv) { tools_.push_back(argv); };
    }

    fs::path MimeApps() const { return env_.configHome / "mimeapps.list"; }

    testfiles::ScratchDir scratch_{"lumapix-assoc"};
    fs::path root_;
    AssociationEnvironment env_;
    std::vector<std::vector<std::string>> tools_;
};

TEST_F(AssociationsTest, TickingJp2RegistersEveryTypeOfTheRowAndInstallsPerUserFiles) {
    Apply(Only("JP2"), env_);

    EXPECT_EQ(ReadText(MimeApps()),
              "[Default Applications]\n"
              "image/jp2=lumapix-viewer.desktop;\n"
              "image/x-jp2-codestream=lumapix-viewer.desktop;\n");
    AssociationTicks expected = Only("JP2");
    EXPECT_EQ(RegisteredRows(env_), expected);

    std::string entry = ReadText(env_.dataHome / "applications" / kDesktopFileName);
    EXPECT_NE(entry.find("\nExec=/opt/lumapix/bin/lumapix-viewer %F\n"), std::string::npos) << entry;
    EXPECT_EQ(ReadText(env_.dataHome / "mime/packages/lumapix.xml"), MimePackageXml());
    // The shell is told once, about the per-user folders.
    std::vector<std::vector<std::string>> tools = {
        {"update-desktop-database", "-q", (env_.dataHome / "applications").string()},
        {"update-mime-database", (env_.dataHome / "mime").string()}};
    EXPECT_EQ(tools_, tools);
}

TEST_F(AssociationsTest, SystemWideDesktopEntryIsNotShadowedPerUser) {
    WriteText(root_ / "system/applications" / kDesktopFileName, DesktopEntry("lumapix-viewer"));
    ASSERT_TRUE(Register(Row("PNG"), env_));
    EXPECT_FALSE(fs::exists(env_.dataHome / "applications" / kDesktopFileName));
    EXPECT_TRUE(IsRegistered(Row("PNG"), env_));
}

TEST_F(AssociationsTest, EditsOnlyOurKeysOfAnExistingList) {
    const std::string before =
        "# kept by hand\n"
        "[Added Associations]\n"
        "image/png=gimp.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "text/plain=org.gnome.TextEditor.desktop;\n"
        "image/bmp = gimp.desktop;\n"
        "# images below\n"
        "\n"
        "[Removed Associations]\n"
        "image/gif=eog.desktop;\n";
    WriteText(MimeApps(), before);

    // Our default replaces the one of the same key in its section, and is added to the section.
    ASSERT_TRUE(Register(Row("BMP"), env_));
    ASSERT_TRUE(Register(Row("PNG"), env_));
    const std::string theirs = "image/bmp = gimp.desktop;\n";
    std::string after = before;
    after.replace(after.find(theirs), theirs.size(), "image/bmp=lumapix-viewer.desktop;\nimage/png=lumapix-viewer.desktop;\n");
    EXPECT_EQ(ReadText(MimeApps()), after);

    // The previous owner is not put back: the system default applies again.
    ASSERT_TRUE(Unregister(Row("BMP"), env_));
    ASSERT_TRUE(Unregister(Row("PNG"), env_));
    after = before;
    after.erase(after.find(theirs), theirs.size());
    EXPECT_EQ(ReadText(MimeApps()), after);
}

TEST_F(AssociationsTest, ClearingJp2TakesOnlyOurEntryOffAllItsTypes) {
    WriteText(MimeApps(),
              "[Default Applications]\n"
              "image/jp2=lumapix-viewer.desktop;org.kde.gwenview.desktop;\n"
              "image/x-jp2-codestream=lumapix-viewer.desktop;\n"
              "image/jpeg=lumapix-viewer.desktop;\n");
    EXPECT_TRUE(IsRegistered(Row("JP2"), env_));

    Apply(Only("JPG"), env_);
    EXPECT_EQ(ReadText(MimeApps()),
              "[Default Applications]\n"
              "image/jp2=org.kde.gwenview.desktop;\n"
              "image/jpeg=lumapix-viewer.desktop;\n");
    EXPECT_FALSE(IsRegistered(Row("JP2"), env_));
}

TEST_F(AssociationsTest, ListKeptAsSymbolicLinkStaysOne) {
    fs::path dotfile = root_ / "dotfiles/mimeapps.list";
    WriteText(dotfile, "[Default Applications]\n");
    fs::create_directories(env_.configHome);
    fs::create_symlink(dotfile, MimeApps());
    ASSERT_TRUE(Register(Row("GIF"), env_));
    EXPECT_TRUE(fs::is_symlink(MimeApps()));
    EXPECT_EQ(ReadText(dotfile), "[Default Applications]\nimage/gif=lumapix-viewer.desktop;\n");
}

TEST_F(AssociationsTest, OnlyTheFirstDefaultCounts) {
    const std::map<std::string, bool> cases = {
        {"[Default Applications]\nimage/gif=eog.desktop;lumapix-viewer.desktop;\n", false},
        {"[Default Applications]\nimage/gif=lumapix-viewer.desktop;eog.desktop;\n", true},
        {"[Default Applications]\nimage/gif=lumapix-viewer.desktop\n", true},
        {"[Added Associations]\nimage/gif=lumapix-viewer.desktop;\n", false},
    };
    for (const auto& [text, registered] : cases) {
        WriteText(MimeApps(), text);
        EXPECT_EQ(IsRegistered(Row("GIF"), env_), registered) << text;
    }
}

TEST_F(AssociationsTest, UnregisteringWithoutAListWritesNothing) {
    Apply(AssociationTicks{}, env_);
    EXPECT_FALSE(fs::exists(MimeApps()));
    EXPECT_TRUE(tools_.empty());  // no per-user folders to refresh
}

TEST(DesktopEntryTest, ExecQuotesPathsTheLauncherWouldSplit) {
    auto exec = [](const std::string& path) {
        std::string entry = DesktopEntry(path);
        size_t start = entry.find("\nExec=") + 6;
        return entry.substr(start, entry.find('\n', start) - start);
    };
    EXPECT_EQ(exec("lumapix-viewer"), "lumapix-viewer %F");
    EXPECT_EQ(exec("/home/a b/100%/viewer"), "\"/home/a b/100%%/viewer\" %F");
    // \$ protects the dollar inside quotes, and the backslash is itself escaped as in every string value.
    EXPECT_EQ(exec("/tmp/$x"), "\"/tmp/\\\\$x\" %F");
}

// The types we hand to mimeapps.list must be the ones shared-mime-info gives these
// extensions, or the default would never be consulted.
TEST(AssociationTableTest, StandardTypesMatchTheSystemMimeDatabase) {
    std::ifstream globs("/usr/share/mime/globs2");
    if (!globs) GTEST_SKIP() << "no shared-mime-info database";
    std::map<std::string, std::string> typeOfGlob;
    for (std::string line; std::getline(globs, line);) {
        std::stringstream fields(line);
        std::string weight, type, glob;
        if (line.empty() || line[0] == '#' || !std::getline(fields, weight, ':') || !std::getline(fields, type, ':') ||
            !std::getline(fields, glob, ':'))
            continue;
        typeOfGlob.emplace(glob, type);
    }
    for (const AssociationRow& row : kAssociationRows) {
        for (const AssociationType& type : row.types) {
            std::string glob = std::string("*") + type.extension;
            if (type.ownMimeType)
                EXPECT_EQ(typeOfGlob.count(glob), 0u) << glob << " is known to the system now";
            else
                EXPECT_EQ(typeOfGlob[glob], type.mimeType) << glob;
        }
    }
}

// What `make install` ships is what registering writes.
TEST(AssociationTableTest, InstalledFilesAreTheGeneratedOnes) {
    fs::path share = fs::path(__FILE__).parent_path() / "../../viewer/share";
    EXPECT_EQ(ReadText(share / kDesktopFileName), DesktopEntry("lumapix-viewer"));
    EXPECT_EQ(ReadText(share / kMimePackageFileName), MimePackageXml());
}

// Our MIME package as update-mime-database reads it, when the tool is installed.
TEST_F(AssociationsTest, MimeDatabaseAcceptsOurPackage) {
    if (std::system("command -v update-mime-database >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "update-mime-database not installed";
    env_.runTool = nullptr;
    Apply(Only("MHR"), env_);
    std::string globs = ReadText(env_.dataHome / "mime/globs2");
    for (const char* glob : {"image/x-lumapix-ljp:*.ljp", "image/x-lumapix-jbig:*.jbg", "image/x-lumapix-mh:*.mh",
                             "image/x-lumapix-mr:*.mr", "image/x-lumapix-mmr:*.mmr"})
        EXPECT_NE(globs.find(glob), std::string::npos) << glob << " missing from\n" << globs;
}

}  // namespace
