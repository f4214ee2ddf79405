// File associations the XDG way: the viewer's desktop entry becomes the default
// application of each image type in the user's mimeapps.list, and the types that
// shared-mime-info does not know are defined by our own MIME package.
#ifndef LUMAPIX_ASSOCIATIONS_H
#define LUMAPIX_ASSOCIATIONS_H

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace lumapix {

inline constexpr const char* kDesktopFileName = "lumapix-viewer.desktop";
inline constexpr const char* kMimePackageFileName = "lumapix.xml";

struct AssociationType {
    const char* extension;  // ".jpc"
    const char* mimeType;   // "image/x-jp2-codestream"
    const char* typeName;   // "JPEG2000 IMAGE"
    bool ownMimeType;       // defined by lumapix.xml rather than shared-mime-info
};

// One checkbox of the associations dialog.
struct AssociationRow {
    const char* label;  // "JP2"
    std::span<const AssociationType> types;
};

inline constexpr std::size_t kAssociationRowCount = 9;
extern const std::array<AssociationRow, kAssociationRowCount> kAssociationRows;
using AssociationTicks = std::array<bool, kAssociationRowCount>;

// Where the per-user files live; tests point these at scratch folders.
struct AssociationEnvironment {
    std::filesystem::path configHome;                // holds mimeapps.list
    std::filesystem::path dataHome;                  // holds applications/ and mime/
    std::vector<std::filesystem::path> dataDirs;     // system-wide data folders
    std::string viewerPath;                          // Exec of a per-user desktop entry; empty: from PATH
    // Runs a database tool (argv[0] looked up on PATH) and waits; empty runs it
    // for real with its output discarded. Failures are of no interest.
    std::function<void(const std::vector<std::string>& argv)> runTool;

    // XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_DATA_DIRS, or their documented defaults
    // under HOME; an empty viewerPath stands for the running program.
    static AssociationEnvironment FromProcess(const std::string& viewerPath = {});
};

// Ticked when the default application of the row's first type is our desktop entry.
bool IsRegistered(const AssociationRow& row, const AssociationEnvironment& env);
AssociationTicks RegisteredRows(const AssociationEnvironment& env);

// Makes our desktop entry the only default for every type of the row, installing
// the MIME package and (unless installed system-wide) the desktop entry per user.
// Only our keys change; the rest of mimeapps.list is kept. False when a file
// could not be written.
bool Register(const AssociationRow& row, const AssociationEnvironment& env);
// Takes our desktop entry off the row's types; a type left without entries loses
// its key, so the system default applies again.
bool Unregister(const AssociationRow& row, const AssociationEnvironment& env);
// Registers the ticked rows, unregisters the others, then refreshes the per-user
// desktop and MIME databases so that file managers notice.
void Apply(const AssociationTicks& ticked, const AssociationEnvironment& env);

// The files we install, generated from the rows so that they cannot drift apart.
// exec is the program to start: a bare name or an absolute path.
std::string DesktopEntry(const std::string& exec);
std::string MimePackageXml();

}  // namespace lumapix

#endif
