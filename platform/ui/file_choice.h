// What the front ends share about the common file dialogs: where they open, and whether a name
// the user typed may be taken.
#pragma once

#include <string>

#include "base/export.h"
#include "ui/frontend.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

// The folder a dialog opens in. A Windows drive path ("C:\", "D:\Data") has no place here and
// means the user's home; an empty one means the current folder.
std::string dialogFolder(const std::string& requested);

struct FileChoice {
    std::string path;     // full path
    std::string problem;  // why it is refused (the user is told and asked again); empty: fine
};

// A typed name as the dialog would take it: relative to the request's folder, with the default
// extension when it has none (an open dialog adds it only when the bare name does not exist),
// checked against OFN_FILEMUSTEXIST and OFN_PATHMUSTEXIST.
FileChoice chooseFile(const FileDialogRequest& request, const std::string& typed);

}  // namespace vlt::ui

VLT_EXPORT_END
