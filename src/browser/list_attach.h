#pragma once

// What a window adds around its file list for the header columns and the name filter,
// so the window's own code needs a line for each.

class QBoxLayout;
class QMenu;

namespace vumo {

class TFileFilterBox;
class TFileListView;

// A filter box put right above the list in the layout that holds it; named after the list
// ("BrowseFiles" gives "BrowseFilesFilter").
TFileFilterBox* AttachFilterBox(QBoxLayout* layout, TFileListView* list);

// A "Columns" submenu at the end of the list's popup, with the header popup's entries. A
// list that shows names only shows its header and the report while a header column is
// chosen, since the columns and their header popup need it.
void AddColumnsMenu(QMenu* menu, TFileListView* list);

}  // namespace vumo
