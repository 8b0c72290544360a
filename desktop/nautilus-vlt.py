# VLT for Nautilus: the "V L T" submenu of the shell extension, as vlt-shell lists it for the
# selected files, with each item running vlt-shell --verb N. As the Windows shell, it offers
# the commands for files only: folders are left out, and a selection of folders gets no menu.
import subprocess

from gi.repository import GObject, Nautilus

VLT_SHELL = "@VLT_SHELL@"


def _paths(files):
    return [f.get_location().get_path() for f in files if not f.is_directory() and f.get_location().get_path()]


class VltMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        files = args[-1]
        paths = _paths(files)
        if not paths:
            return []
        try:
            listing = subprocess.run([VLT_SHELL, "--list", "--", *paths], capture_output=True, text=True, timeout=10).stdout
        except (OSError, subprocess.SubprocessError):
            return []
        lines = listing.splitlines()
        if not lines:
            return []
        top = Nautilus.MenuItem(name="Vlt::Menu", label=lines[0].strip().replace("&", ""))
        submenu = Nautilus.Menu()
        top.set_submenu(submenu)
        offset = 0
        for line in lines[1:]:
            text = line.strip()
            if text == "----":
                continue
            grayed = "(grayed)" in text
            label = text.split("\t")[0].replace("&", "")
            item = Nautilus.MenuItem(name="Vlt::Item%d" % offset, label=label, sensitive=not grayed)
            item.connect("activate", self._run, offset, paths)
            submenu.append_item(item)
            offset += 1
        return [top]

    def _run(self, _item, offset, paths):
        subprocess.Popen([VLT_SHELL, "--verb", str(offset), "--", *paths])
