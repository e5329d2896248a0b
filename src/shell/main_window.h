// The viewer's main window: browser panel on the left, picture on the right.
#pragma once

#include <QMenu>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

#include "browser/dir_tree_combo.h"
#include "browser/file_list_view.h"
#include "settings/form_storage.h"
#include "shell/about_dialog.h"
#include "shell/common_dialogs.h"
#include "shell/menu_item.h"
#include "shell/normal_view.h"
#include "shell/panel.h"
#include "shell/picture_loader.h"
#include "shell/picture_masks.h"
#include "shell/pro_image.h"
#include "shell/scroll_box.h"
#include "shell/shown_file_watcher.h"
#include "shell/splitter.h"
#include "shell/view_status_bar.h"

namespace vumo {

class TCompareView;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // Components, by the names the settings file knows them by.
  TPanel* PanelTop = nullptr;
  TPanel* PanelLeft = nullptr;
  TDirTreeCombo* BrowseDrives = nullptr;
  TPanel* PanelDiv = nullptr;
  TFileListView* BrowseFiles = nullptr;
  TSplitter* SplitterV = nullptr;
  TScrollBox* ScrollBox = nullptr;
  TProImage* ViewImage = nullptr;
  TViewStatusBar* StatusBar = nullptr;
  TFontDialog* FontBrowse = nullptr;
  TProImageViewDialog* AboutImage = nullptr;
  TColorDialog* ImageBk = nullptr;
  // The form storage that keeps the window placement and the stored properties; see the
  // constructor for where it attaches.
  TFormStorage* FormStorage1 = nullptr;

  QMenu* FileMenu = nullptr;
  TMenuItem* FolderMenu = nullptr;
  TMenuItem* AllFiles = nullptr;
  TMenuItem* DefaultSettings = nullptr;
  TMenuItem* AboutVumo = nullptr;

  QMenu* ImageMenu = nullptr;
  TMenuItem* BrowseMenu = nullptr;
  TMenuItem* TileMenu = nullptr;
  TMenuItem* NormMenu = nullptr;
  TMenuItem* StretchMenu = nullptr;
  TMenuItem* Background = nullptr;

  // The view's commands (zoom, channels, images, exposure), on submenus of the image popup; their shortcuts work anywhere
  // in the window.
  QMenu* ZoomMenu = nullptr;
  QMenu* ChannelMenu = nullptr;
  QMenu* TransparencyMenu = nullptr;
  QMenu* ImagesMenu = nullptr;
  QMenu* ExposureMenu = nullptr;
  TMenuItem* HalfOffsetMenu = nullptr;
  TMenuItem* CopyPixelMenu = nullptr;
  TMenuItem* SheetMenu = nullptr;

  // Never shown: its items live on the window itself, for their shortcuts only.
  QMenu* FormMenu = nullptr;
  TMenuItem* FMBrowseMenu = nullptr;
  TMenuItem* FMTileMenu = nullptr;
  TMenuItem* FMNormMenu = nullptr;
  TMenuItem* FMStretchMenu = nullptr;
  TMenuItem* FMFolderMenu = nullptr;
  TMenuItem* FMAllFiles = nullptr;
  TMenuItem* FMDefault = nullptr;

  void FormCreate(QObject* Sender);
  void FormShow(QObject* Sender);
  void FormResize(QObject* Sender);
  void BrowseDrivesClick(QObject* Sender);
  void BrowseFilesClick(QObject* Sender);
  void FolderMenuClick(QObject* Sender);
  void AllFilesClick(QObject* Sender);
  void DefaultSettingsClick(QObject* Sender);
  void AboutVumoClick(QObject* Sender);
  void BrowseMenuClick(QObject* Sender);
  void TileMenuClick(QObject* Sender);
  void NormMenuClick(QObject* Sender);
  void StretchMenuClick(QObject* Sender);
  void BackgroundClick(QObject* Sender);
  // Chooses the browser's font; no command reaches it in this window.
  void FontMenuBClick(QObject* Sender);

  // Loads a picture file into the image control; raises the readers' errors. A file of
  // several images shows the one at `imageIndex`. A load running in the background is
  // cancelled first.
  void LoadPicture(const QString& path, unsigned imageIndex = 0);
  // The same on a worker thread, as a click in the file list loads: the window answers
  // meanwhile, a newer request cancels this one, and errors show when the load ends.
  void LoadPictureInBackground(const QString& path, unsigned imageIndex = 0);
  // A background load will report: one runs or waits, and was not cancelled.
  bool Loading() const { return loader_->Current() != nullptr; }
  // Shows the previous (-1) or next (+1) image of the shown file, if it has one.
  void StepImage(int direction);
  // Shows every image of the shown file on one sheet, or leaves the sheet for the image it
  // replaced. Loading another file or stepping to another image leaves it too.
  void ToggleSheet();
  bool SheetShown() const { return sheetOf_.has_value(); }
  // Puts the hex text of the pixel under the mouse (or under the popup) on the clipboard.
  void CopyPixelValue();
  // The file shown, empty when none.
  const QString& ShownFile() const { return shownFile_; }
  // Start-up with a path: lists a folder, or a file's folder and shows the file.
  void OpenFromCommandLine(const QString& path);
  // Compare mode (main_window_compare.cpp): two pictures in the view's place, until Escape.
  TCompareView* CompareView = nullptr;
  QMenu* CompareMenu = nullptr;
  // Loads both and shows them compared; raises the readers' errors, leaving the view as it was.
  void OpenCompare(const QString& fileA, const QString& fileB);
  // `vumo --compare A B`: A's folder listed and A shown, then both compared.
  void OpenCompareFromCommandLine(const QString& fileA, const QString& fileB);
  void CloseCompare();
  bool Comparing() const;
  // Sets the window's outer size, frame included, as far as the window system tells it.
  void SetOuterSize(int width, int height);
  // The client size that gives this outer size with the window's current frame.
  QSize ClientSizeFor(int width, int height) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateComponents();
  void CreateMenus();
  void CreateViewCommands();
  void CreateCompareCommands();
  void CompareChanged();
  TMenuItem* AddCommand(QMenu* menu, const char* name, const char* caption, QList<QKeySequence> keys,
                        std::function<void()> run, bool checkable = false);
  // One checked command for each value a setting takes, marked while the setting holds it.
  template <typename T>
  struct TChoice {
    const char* name;
    const char* caption;
    int key;  // Qt::CTRL | Qt::Key_1 and the like; 0 for none
    T value;
  };
  template <typename T>
  void AddChoices(QMenu* menu, std::initializer_list<TChoice<T>> choices, std::function<void(T)> choose,
                  std::function<bool(T)> chosen) {
    for (const TChoice<T>& choice : choices) {
      const T value = choice.value;
      QList<QKeySequence> keys;
      if (choice.key != 0) keys.append(QKeySequence(choice.key));
      TMenuItem* item = AddCommand(menu, choice.name, choice.caption, keys, [choose, value] { choose(value); }, true);
      marks_.emplace_back(item, [chosen, value] { return chosen(value); });
    }
  }
  // The title, the status line and the check marks, from the view and the shown file.
  void ViewChanged();
  void HoverChanged();
  void PictureLoaded(const std::shared_ptr<TPictureLoader::TResult>& result);
  // The shown file changed on disk: loads it again in the background, at the image shown.
  void ReloadShownFile();
  // Asks whether to open a picture refused as too large for its file.
  bool ConfirmTooLargeForFile(const std::exception& error);
  void ResetView();
  void LoadAboutPicture();
  TMenuItem* AddItem(QMenu* menu, const char* name, const char* caption, bool checkable, bool checked,
                     void (TForm1::*handler)(QObject*));
  void AttachPopup(QWidget* widget, QMenu* menu);

  // The client size the design's outer size gave before the window system framed the
  // window; still this size at the first show means nothing else has sized the window.
  QSize designClientSize_;
  QString shownFile_;
  TPictureLoader* loader_ = nullptr;
  TShownFileWatcher* shownWatcher_ = nullptr;
  // The pixel under the mouse when the image popup opened, for its copy command.
  std::optional<QPoint> popupPixel_;
  std::vector<std::pair<TMenuItem*, std::function<bool()>>> marks_;
  // The channel a new file is shown in when it holds normals, and after one that did.
  TNormalChannelChoice normalChoice_;
  // While the sheet is shown: the images of the picture it replaced, which stepping and
  // leaving the sheet go on from.
  std::optional<TImageSet> sheetOf_;
  bool shown_ = false;
  // Set at the first show until the window system has told the frame's size.
  bool fitOuterSizePending_ = false;
  void FitDesignOuterSize();
};

}  // namespace vumo
