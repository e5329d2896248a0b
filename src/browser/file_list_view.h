#pragma once

#include <QFlags>
#include <QMimeData>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QTreeView>
#include <QVector>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "browser/explorer_texts.h"
#include "browser/file_clipboard.h"
#include "browser/file_list_model.h"
#include "browser/file_listing.h"

class QFileSystemWatcher;
class QMenu;

namespace vumo {

class TDirTreeCombo;
class TDirTree;
class TFileListPopup;
class THeaderInfoCache;

class TFileListView : public QTreeView {
  Q_OBJECT
  Q_PROPERTY(QString About READ About WRITE SetAbout)
  Q_PROPERTY(int ColWidth_Name READ ColWidth_Name WRITE SetColWidth_Name)
  Q_PROPERTY(int ColWidth_Size READ ColWidth_Size WRITE SetColWidth_Size)
  Q_PROPERTY(int ColWidth_Type READ ColWidth_Type WRITE SetColWidth_Type)
  Q_PROPERTY(int ColWidth_Mod READ ColWidth_Mod WRITE SetColWidth_Mod)
  Q_PROPERTY(int ColWidth_Attr READ ColWidth_Attr WRITE SetColWidth_Attr)
  // The header columns (file_list_columns.cpp): which are shown, and their widths.
  Q_PROPERTY(QString OptionalColumns READ OptionalColumns WRITE SetOptionalColumns)
  Q_PROPERTY(int ColWidth_Dimensions READ ColWidth_Dimensions WRITE SetColWidth_Dimensions)
  Q_PROPERTY(int ColWidth_PixelFormat READ ColWidth_PixelFormat WRITE SetColWidth_PixelFormat)
  Q_PROPERTY(int ColWidth_Images READ ColWidth_Images WRITE SetColWidth_Images)
  Q_PROPERTY(int ColWidth_Alpha READ ColWidth_Alpha WRITE SetColWidth_Alpha)
  Q_PROPERTY(QString NameFilter READ NameFilter WRITE SetNameFilter)
  Q_PROPERTY(TDtFormat DateFormat READ DateFormat WRITE SetDateFormat)
  Q_PROPERTY(QString Directory READ Directory WRITE SetDirectory)
  Q_PROPERTY(qint64 DriveFreeSpace READ DriveFreeSpace)
  Q_PROPERTY(bool DblClickToOpen READ DblClickToOpen WRITE SetDblClickToOpen)
  Q_PROPERTY(TFileType FileType READ FileType WRITE SetFileType)
  Q_PROPERTY(TFileSize FileSize READ FileSize WRITE SetFileSize)
  Q_PROPERTY(bool HideFileExt READ HideFileExt WRITE SetHideFileExt)
  Q_PROPERTY(vumo::TLanguages::TLanguage Language READ Language WRITE SetLanguage)
  Q_PROPERTY(QString Mask READ Mask WRITE SetMask)
  Q_PROPERTY(bool ParentDirEnabled READ ParentDirEnabled WRITE SetParentDirEnabled)
  Q_PROPERTY(QString ParentDirCaption READ ParentDirCaption WRITE SetParentDirCaption)
  Q_PROPERTY(bool PopUpMenuEnabled READ PopUpMenuEnabled WRITE SetPopUpMenuEnabled)
  Q_PROPERTY(QString SelectedItem READ SelectedItem WRITE SetSelectedItem)
  Q_PROPERTY(int SelectedNumber READ SelectedNumber)
  Q_PROPERTY(qint64 SelectedSize READ SelectedSize)
  Q_PROPERTY(bool ShowFolders READ ShowFolders WRITE SetShowFolders)
  Q_PROPERTY(TTmFormat TimeFormat READ TimeFormat WRITE SetTimeFormat)
  // Inherited list-view settings the main window's design uses.
  Q_PROPERTY(TViewStyle ViewStyle READ ViewStyle WRITE SetViewStyle)
  Q_PROPERTY(bool ShowColumnHeaders READ ShowColumnHeaders WRITE SetShowColumnHeaders)
  Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

 public:
  // The languages live beside their texts; the names stay reachable here.
  using TLanguage = vumo::TLanguage;
  using enum TLanguages::TLanguage;
  enum TDtFormat {
    df_MMddyyyy, df_MMddyy, df_ddMMyyyy, df_ddMMyy_GB, df_ddMMyy_DE,
    df_ddMMyy_IT, df_yyyyMMdd, df_yyMMdd, df_Customize
  };
  Q_ENUM(TDtFormat)
  enum TTmFormat { tfLongFormat, tfShortFormat, tfCustomize };
  Q_ENUM(TTmFormat)
  enum TFileAttr { ftReadOnly = 0x01, ftHidden = 0x02, ftSystem = 0x04, ftArchive = 0x20, ftNormal = 0x80 };
  Q_DECLARE_FLAGS(TFileType, TFileAttr)
  Q_FLAG(TFileType)
  enum TFileSize { fsKB, fsByte };
  Q_ENUM(TFileSize)
  enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
  Q_ENUM(TViewStyle)

  explicit TFileListView(QWidget* parent = nullptr);
  ~TFileListView() override;

  QString About() const { return QStringLiteral("Version 1.0"); }
  void SetAbout(const QString&) {}
  int ColWidth_Name() const { return colWidths_[0]; }
  void SetColWidth_Name(int value) { colWidths_[0] = value; }
  int ColWidth_Size() const { return colWidths_[1]; }
  void SetColWidth_Size(int value) { colWidths_[1] = value; }
  int ColWidth_Type() const { return colWidths_[2]; }
  void SetColWidth_Type(int value) { colWidths_[2] = value; }
  int ColWidth_Mod() const { return colWidths_[3]; }
  void SetColWidth_Mod(int value) { colWidths_[3] = value; }
  int ColWidth_Attr() const { return colWidths_[4]; }
  void SetColWidth_Attr(int value) { colWidths_[4] = value; }

  // ---- the header columns after the five of a folder (file_list_columns.cpp): what the
  // files' headers say, read on a worker thread and filled in as they arrive.
  enum TOptionalColumn { ocDimensions, ocPixelFormat, ocImages, ocAlpha, ocCount };
  static constexpr int kFirstOptionalColumn = 5;
  static QString OptionalColumnName(int index);
  bool OptionalColumnShown(int index) const;
  void SetOptionalColumnShown(int index, bool shown);
  // The shown ones' names, comma-separated ("Dimensions,Alpha"), as Vumo.ini keeps them.
  QString OptionalColumns() const;
  void SetOptionalColumns(const QString& value);
  int ColWidth_Dimensions() const { return optionalWidths_[ocDimensions]; }
  void SetColWidth_Dimensions(int value) { SetOptionalWidth(ocDimensions, value); }
  int ColWidth_PixelFormat() const { return optionalWidths_[ocPixelFormat]; }
  void SetColWidth_PixelFormat(int value) { SetOptionalWidth(ocPixelFormat, value); }
  int ColWidth_Images() const { return optionalWidths_[ocImages]; }
  void SetColWidth_Images(int value) { SetOptionalWidth(ocImages, value); }
  int ColWidth_Alpha() const { return optionalWidths_[ocAlpha]; }
  void SetColWidth_Alpha(int value) { SetOptionalWidth(ocAlpha, value); }
  // The header's popup: a checkable entry a column, made anew each time.
  QMenu* HeaderMenu();
  // The text a row shows in a model column from kFirstOptionalColumn on.
  QString OptionalText(const TListItem& item, int column) const;
  THeaderInfoCache* HeaderCache() const { return headerCache_; }

  // Narrows the listing by name: a case-insensitive part of the name, or a mask of
  // file_mask.h when it holds "*" or "?". Empty lists everything.
  QString NameFilter() const { return nameFilter_; }
  void SetNameFilter(const QString& value);
  TDtFormat DateFormat() const { return dateFormat_; }
  void SetDateFormat(TDtFormat value);
  TTmFormat TimeFormat() const { return timeFormat_; }
  void SetTimeFormat(TTmFormat value);
  QString DatePattern() const { return datePattern_; }
  QString TimePattern() const { return timePattern_; }

  QString Directory() const;
  void SetDirectory(const QString& value);
  qint64 DriveFreeSpace() const;
  bool DblClickToOpen() const { return dblClickToOpen_; }
  void SetDblClickToOpen(bool value) { dblClickToOpen_ = value; }
  TFileType FileType() const { return fileType_; }
  void SetFileType(TFileType value);
  TFileSize FileSize() const { return fileSize_; }
  void SetFileSize(TFileSize value) { fileSize_ = value; }
  bool HideFileExt() const { return hideFileExt_; }
  void SetHideFileExt(bool value) { hideFileExt_ = value; }
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage value);
  QString Mask() const;
  void SetMask(const QString& value);
  bool ParentDirEnabled() const { return parentDirEnabled_; }
  void SetParentDirEnabled(bool value) { parentDirEnabled_ = value; }
  QString ParentDirCaption() const { return parentDirCaption_; }
  void SetParentDirCaption(const QString& value);
  bool PopUpMenuEnabled() const { return popUpMenuEnabled_; }
  void SetPopUpMenuEnabled(bool value);
  QString SelectedItem() const;
  void SetSelectedItem(const QString& value) { selectedItem_ = value; }
  int SelectedNumber() const;
  qint64 SelectedSize() const;
  bool ShowFolders() const;
  void SetShowFolders(bool value);

  TViewStyle ViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle value);
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool value);
  bool MultiSelect() const;
  void SetMultiSelect(bool value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }

  TDirTreeCombo* DirTreeCombo() const;
  void SetDirTreeCombo(TDirTreeCombo* value);
  TDirTree* DirTree() const;
  void SetDirTree(TDirTree* value);

  // ---- the file commands (file_list_commands.cpp)
  void CmdView();
  void CmdSearch();
  void CmdCut() { CutOrCopy(kClipMove); }
  void CmdCopy() { CutOrCopy(kClipCopy); }
  void CmdPaste();
  void CmdRename();
  void CmdDelete();
  void CmdPermanentDelete();
  void CmdProperties();
  void CmdNewFolder();
  void CmdSendToAnyFolder();
  void CmdClipboardAsContents();
  void CmdClipboardAsFileName();
  void CmdDesktopShortcut();
  // Sends the selection through the Send To entry at this path.
  void CmdSendToShortcut(const QString& shortcutPath);
  // Files dropped on the owner window: copied into the listed folder.
  void PasteDropped(const QStringList& paths);
  // Copies (or moves) the selected files into a folder, as the tree's drop does.
  bool SendSelectionTo(const QString& targetText, bool move);
  // The selected entries' full paths, in list order, without the parent entry.
  QStringList SelectedPaths(bool deselectParent);

  // The browser's clipboard mode of file_clipboard.h, under the names the list's callers use.
  static constexpr int kClipCopy = vumo::kClipCopy;
  static constexpr int kClipMove = vumo::kClipMove;
  static inline int& ClipboardMode = vumo::ClipboardMode;
  const QStringList& ClipboardFiles() const { return clipboardFiles_; }
  TFileListPopup* Popup() const { return popup_; }
  // Shows the command popup at a global point (10 pixels right of and below it).
  void ShowPopup(const QPoint& globalPoint);
  // Sets the enabled state of every popup item by the command tables.
  void UpdatePopupItems();
  // The upper-cased extension with its dot ("" when none) of the selected item's path.
  QString SelectedExtension() const;
  // Whether the popup would appear by itself on a right click (folder view only).
  bool PopupAutomatic() const { return popupAutomatic_; }

  // Re-reads the folder or the drive list. A re-read of the folder already listed keeps the
  // selected entries (by path) and the scroll position where they still exist.
  void UpdateFileList();
  // Re-reads made by the list's own watch on its folder, for tests to wait on.
  int ChangeRereads() const { return changeRereads_; }
  void AddFiles(const QString& pattern, std::uint32_t filter);
  void AddDrives();
  int CompareItems(const TListItem& item1, const TListItem& item2) const;
  void HeaderClick(int column);
  void OneLevelUp();
  void OpenItem();

  // The items in their shown order, and the entry the list counts as selected
  // (the first selected one), or -1.
  const std::vector<TListItem>& Items() const { return model_->Items(); }
  int SelectedIndex() const;
  int SortColumn() const { return sortColumn_; }
  bool SortDescending() const { return sortDescending_; }
  bool Sortable() const { return listing_.Sortable(); }
  std::int64_t FolderTotal() const { return listing_.FolderTotal(); }
  int FileReads() const { return listing_.FileReads(); }
  // Selects and focuses one row (clearing the rest) without raising a click.
  void SelectRow(int row);

  // The program that opens a file for OpenItem; the desktop by default.
  static void SetFileOpener(std::function<bool(const QString&)> opener);

 signals:
  void Click();
  void DblClick();
  void OnItemChange(QObject* sender, const QString& selectedItem);
  void KeyDown(int key, Qt::KeyboardModifiers modifiers);
  // The header columns shown changed (the header's popup, or the property).
  void OptionalColumnsChanged();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // The listing with the options of the properties in force.
  TFileListing& Listing();
  void CreateFileColumns();
  void CreateDriveColumns();
  void ApplyColumns(const QStringList& captions, const QVector<int>& widths, const QVector<Qt::Alignment>& alignments);
  void ApplyViewStyle();
  void ClickHandling();
  bool SortItems();
  void RecomputeDatePattern();
  void RecomputeTimePattern();
  void CutOrCopy(int mode);
  bool OwnsClipboard() const;
  void CommonRefresh(const QString& folder);
  void CaptionEdited(int row, const QString& caption);
  void StartLabelEdit(int row);
  void HookOwner();
  void BuildPopup();
  bool MakeDirectoryCurrent();
  void WatchListedFolder();
  void ListedFolderChanged();
  void SetUpOptionalColumns();
  void ApplyOptionalColumns();
  void SetOptionalWidth(int index, int value);
  void RequestHeaders();
  void PrioritiseVisibleHeaders();
  QStringList VisiblePaths() const;
  bool OptionalColumnsActive() const;
  std::vector<int> OptionalOrder(const std::vector<TListItem>& items, int column, bool descending) const;
  int CompareOptional(const TListItem& item1, const TListItem& item2, int column, bool descending) const;
  static QStringList OptionalCaptions();
  static QVector<Qt::Alignment> OptionalAlignments();

  TFileListModel* model_ = nullptr;
  QString directory_ = QStringLiteral("Drives");
  QString mask_ = QStringLiteral("*.*");
  bool showFolders_ = true;
  QString selectedItem_;
  QPointer<TDirTreeCombo> dirTreeCombo_;
  QPointer<TDirTree> dirTree_;
  TFileListPopup* popup_ = nullptr;
  bool popupAutomatic_ = false;
  QStringList clipboardFiles_;
  // What this list's last cut or copy put on the system clipboard. Qt deletes it when
  // another program takes the clipboard, so a live pointer that is still the clipboard's
  // data means the list's own files are the newest.
  QPointer<QMimeData> publishedData_;
  bool droppedPaste_ = false;
  QString renameOldPath_;
  QPointer<QWidget> hookedOwner_;
  QPoint dragStart_;
  bool dragArmed_ = false;
  bool dragCopy_ = false;
  int colWidths_[5] = {165, 75, 95, 125, 40};
  TDtFormat dateFormat_ = df_Customize;
  TTmFormat timeFormat_ = tfShortFormat;
  QString datePattern_;
  QString timePattern_;
  bool dblClickToOpen_ = true;
  TFileType fileType_ = TFileType(ftReadOnly | ftHidden | ftSystem | ftArchive);
  TFileSize fileSize_ = fsKB;
  bool hideFileExt_ = false;
  TLanguage language_ = lnSysDefault;
  bool parentDirEnabled_ = true;
  QString parentDirCaption_ = QStringLiteral(" Parent");
  bool popUpMenuEnabled_ = true;
  TViewStyle viewStyle_ = vsReport;
  bool showColumnHeaders_ = true;
  bool readOnly_ = false;

  int sortColumn_ = 0;
  bool sortDescending_ = true;
  bool fileColumns_ = false;
  bool driveColumns_ = false;
  int updateDepth_ = 0;
  // The folder the items were last read from ("" for none or the drive view).
  QString readFolder_;
  // The listed folder's own watch: files and folders made, removed or renamed there show
  // without F5. Bursts are gathered into one re-read.
  QFileSystemWatcher* folderWatcher_ = nullptr;
  QTimer folderChangedDelay_;
  int changeRereads_ = 0;

  TFileListing listing_;

  THeaderInfoCache* headerCache_ = nullptr;
  bool optionalShown_[ocCount] = {};
  int optionalWidths_[ocCount] = {90, 130, 120, 50};
  QPointer<QMenu> headerMenu_;
  // Results arrive in bursts: one repaint of the columns for each, and one move of the
  // waiting files to the front after scrolling stops for a moment.
  QTimer headerRepaint_;
  QTimer headerPrioritise_;
  QString nameFilter_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TFileListView::TFileType)

}  // namespace vumo
