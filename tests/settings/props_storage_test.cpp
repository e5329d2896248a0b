// Property storage: every kind in its text form both ways, the stored list's parsing and
// resolving, and the failure rules, against an in-memory section.
#include <QAction>
#include <QApplication>
#include <QColor>
#include <QFont>
#include <QSplitter>
#include <QWidget>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <utility>

#include "settings/font.h"
#include "settings/props_storage.h"

namespace vumo {

class TestItem : public TCollectionItem {
  Q_OBJECT
  Q_PROPERTY(QString Caption MEMBER caption)
  Q_PROPERTY(int Tag MEMBER tag)
 public:
  using TCollectionItem::TCollectionItem;
  QString caption;
  int tag = 0;
};

class TestItems : public TCollection {
  Q_OBJECT
 public:
  using TCollection::TCollection;
  int updates = 0;

 protected:
  TCollectionItem* NewItem() override { return new TestItem(); }
  void Update() override { ++updates; }
};

class TestObject : public QObject {
  Q_OBJECT
 public:
  enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
  Q_ENUM(TAlign)
  enum TAnchor { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8, akAll = 15 };
  Q_DECLARE_FLAGS(TAnchors, TAnchor)
  Q_FLAG(TAnchors)

 private:
  Q_PROPERTY(int Number MEMBER number)
  Q_PROPERTY(qlonglong Big MEMBER big)
  Q_PROPERTY(char Letter MEMBER letter)
  Q_PROPERTY(QChar Wide MEMBER wide)
  Q_PROPERTY(bool Flag MEMBER flag)
  Q_PROPERTY(TAlign Align MEMBER align)
  Q_PROPERTY(TAnchors Anchors READ Anchors WRITE SetAnchors)
  Q_PROPERTY(float Single MEMBER single)
  Q_PROPERTY(double Real MEMBER real)
  Q_PROPERTY(QString Text MEMBER text)
  Q_PROPERTY(QStringList Lines MEMBER lines)
  Q_PROPERTY(QVariant Any MEMBER any)
  Q_PROPERTY(QObject* Link MEMBER link)
  Q_PROPERTY(vumo::TFont* Font READ Font)
  Q_PROPERTY(vumo::TCollection* Items READ Items)
  Q_PROPERTY(QColor Tint MEMBER tint)
  Q_PROPERTY(QSize Shape MEMBER shape)
  Q_PROPERTY(int Fragile READ Fragile WRITE SetFragile)

 public:
  explicit TestObject(QObject* parent = nullptr) : QObject(parent), font_(new TFont(this)), items_(new TestItems(this)) {}
  TFont* Font() const { return font_; }
  TCollection* Items() const { return items_; }
  TAnchors Anchors() const { return anchors; }
  void SetAnchors(TAnchors value) { anchors = value; }
  int Fragile() const { return fragile; }
  void SetFragile(int value) {
    if (value < 0) throw std::runtime_error("negative");
    fragile = value;
  }

  int number = 0;
  qlonglong big = 0;
  char letter = 'a';
  QChar wide = u'w';
  bool flag = false;
  TAlign align = alNone;
  TAnchors anchors;
  float single = 0;
  double real = 0;
  QString text;
  QStringList lines;
  QVariant any;
  QObject* link = nullptr;
  QColor tint = Qt::red;
  QSize shape{1, 2};
  int fragile = 0;
  TFont* font_;
  TestItems* items_;
};

}  // namespace vumo

Q_DECLARE_OPERATORS_FOR_FLAGS(vumo::TestObject::TAnchors)

namespace vumo {
namespace {

// An in-memory profile with the read semantics the storage relies on.
struct Memory {
  std::map<QString, std::map<QString, QString>> sections;
  std::vector<QString> order;  // "section/key" as written
  std::vector<QString> erased;

  void Attach(TPropsStorage& storage) {
    storage.OnReadString = [this](const QString& s, const QString& k, const QString& d) {
      auto section = sections.find(s.toLower());
      if (section == sections.end()) return d;
      auto key = section->second.find(k.toLower());
      return key == section->second.end() ? d : key->second;
    };
    storage.OnWriteString = [this](const QString& s, const QString& k, const QString& v) {
      sections[s.toLower()][k.toLower()] = v;
      order.push_back(s + "/" + k);
    };
    storage.OnEraseSection = [this](const QString& s) {
      sections.erase(s.toLower());
      erased.push_back(s);
    };
  }
  QString Value(const QString& section, const QString& key) const {
    auto s = sections.find(section.toLower());
    if (s == sections.end()) return "<none>";
    auto k = s->second.find(key.toLower());
    return k == s->second.end() ? "<none>" : k->second;
  }
};

struct StorageRun {
  QWidget window;
  TestObject* object;
  Memory memory;
  TStoredPropsList list;

  StorageRun() : object(new TestObject(&window)) {
    window.setObjectName("Form1");
    object->setObjectName("Obj");
  }
  void Use(const QStringList& entries) {
    list.clear();
    for (const QString& entry : entries) list.append({entry, nullptr});
    settings::UpdateStoredList(&window, list, true);
  }
  void Store() {
    TPropsStorage storage;
    storage.SetSection("User");
    memory.Attach(storage);
    storage.StoreObjectsProps(&window, list);
  }
  void Load() {
    TPropsStorage storage;
    storage.SetSection("User");
    memory.Attach(storage);
    storage.LoadObjectsProps(&window, list);
  }
  void Set(const QString& key, const QString& value) { memory.sections["user"][key.toLower()] = value; }
  void Set(std::initializer_list<std::pair<QString, QString>> values) {
    for (const auto& [key, value] : values) Set(key, value);
  }
};

TEST(PropInfoList, SortedByNameWithKindsFromTheMetaObject) {
  TestObject object;
  TPropInfoList list(&object);
  QStringList names;
  for (int i = 0; i < list.Count(); ++i) names << list[i].Name;
  EXPECT_EQ(names, QStringList({"Align", "Anchors", "Any", "Big", "Flag", "Font", "Fragile", "Items", "Letter",
                                "Lines", "Link", "Number", "Real", "Single", "Text", "Tint", "Wide"}));
  EXPECT_EQ(list.Find("align")->Kind, tkEnumeration);
  EXPECT_EQ(list.Find("ANCHORS")->Kind, tkSet);
  EXPECT_EQ(list.Find("Big")->Kind, tkInt64);
  EXPECT_EQ(list.Find("Letter")->Kind, tkChar);
  EXPECT_EQ(list.Find("Wide")->Kind, tkWChar);
  EXPECT_EQ(list.Find("Text")->Kind, tkLString);
  EXPECT_EQ(list.Find("Any")->Kind, tkVariant);
  EXPECT_EQ(list.Find("Single")->Precision, 7);
  EXPECT_EQ(list.Find("Font")->Object, settings::ObjectKind::kPersistent);
  EXPECT_EQ(list.Find("Items")->Object, settings::ObjectKind::kCollection);
  EXPECT_EQ(list.Find("Link")->Object, settings::ObjectKind::kComponent);
  EXPECT_EQ(list.Find("Lines")->Object, settings::ObjectKind::kStrings);
  EXPECT_EQ(list.Find("Shape"), nullptr);       // a record: neither stored nor loaded
  EXPECT_EQ(list.Find("objectName"), nullptr);  // the name is not a value of the object
}

TEST(PropInfoList, AdaptersNameWhatQtDoesNotPublish) {
  QWidget widget;
  QAction action(nullptr);
  TPropInfoList widgetProps(&widget);
  TPropInfoList actionProps(&action);
  ASSERT_NE(widgetProps.Find("width"), nullptr);
  EXPECT_EQ(widgetProps.Find("width")->Name, "Width");  // the adapter hides Qt's own "width"
  EXPECT_EQ(widgetProps.Find("font")->Name, "Font");
  EXPECT_EQ(widgetProps.Find("font")->Object, settings::ObjectKind::kPersistent);
  EXPECT_EQ(actionProps.Find("checked")->Name, "Checked");
  EXPECT_EQ(actionProps.Find("checked")->Kind, tkEnumeration);
}

TEST(PropsStorage, EveryKindWritesItsTextForm) {
  StorageRun run;
  TestObject& o = *run.object;
  o.number = -2147483633;
  o.big = -9000000000LL;
  o.letter = 'Q';
  o.wide = u'\u00e9';
  o.flag = true;
  o.align = TestObject::alClient;
  o.anchors = TestObject::akTop | TestObject::akLeft;
  o.single = 1.5f;
  o.real = 1e20;
  o.text = "  padded  ";
  o.any = QVariant(42);
  o.tint = QColor(0x10, 0x20, 0x30);
  o.Font()->SetStyle(TFont::fsBold | TFont::fsStrikeOut);
  o.link = &run.window;
  run.Use({"Obj.Number", "Obj.Big", "Obj.Letter", "Obj.Wide", "Obj.Flag", "Obj.Align", "Obj.Anchors", "Obj.Single",
           "Obj.Real", "Obj.Text", "Obj.Any", "Obj.Tint", "Obj.Font", "Obj.Shape"});
  run.Store();
  const Memory& m = run.memory;
  EXPECT_EQ(m.Value("User", "Obj_Number"), "-2147483633");
  EXPECT_EQ(m.Value("User", "Obj_Big"), "-9000000000");
  EXPECT_EQ(m.Value("User", "Obj_Letter"), "Q");
  EXPECT_EQ(m.Value("User", "Obj_Wide"), QStringLiteral("\u00e9"));
  EXPECT_EQ(m.Value("User", "Obj_Flag"), "True");
  EXPECT_EQ(m.Value("User", "Obj_Align"), "alClient");
  EXPECT_EQ(m.Value("User", "Obj_Anchors"), "[akLeft,akTop]");
  EXPECT_EQ(m.Value("User", "Obj_Single"), "1.5");
  EXPECT_EQ(m.Value("User", "Obj_Real"), "1E20");
  EXPECT_EQ(m.Value("User", "Obj_Text"), "padded");
  EXPECT_EQ(m.Value("User", "Obj_Any"), "42");
  EXPECT_EQ(m.Value("User", "Obj_Tint"), QString::number(0x302010));
  EXPECT_EQ(m.Value("User", "Obj_Shape"), "<none>");
  // A nested object: its own keys in name order, with no separator after the prefix.
  QStringList fontKeys;
  for (const QString& key : m.order) {
    if (key.startsWith("User/Obj_Font")) fontKeys << key.mid(5);
  }
  EXPECT_EQ(fontKeys, QStringList({"Obj_FontCharset", "Obj_FontColor", "Obj_FontHeight", "Obj_FontName",
                                   "Obj_FontPitch", "Obj_FontSize", "Obj_FontStyle"}));
  EXPECT_EQ(m.Value("User", "Obj_FontStyle"), "[fsBold,fsStrikeOut]");
  EXPECT_EQ(m.Value("User", "Obj_FontPitch"), "fpDefault");
  EXPECT_EQ(m.Value("User", "Obj_FontColor"), "-2147483640");
}

TEST(PropsStorage, EveryKindReadsBack) {
  StorageRun run;
  run.Use({"Obj.Number", "Obj.Big", "Obj.Letter", "Obj.Wide", "Obj.Flag", "Obj.Align", "Obj.Anchors", "Obj.Single",
           "Obj.Real", "Obj.Text", "Obj.Any", "Obj.Tint", "Obj.Font"});
  run.object->any = 1;  // an empty variant has no default text, so its key is never read
  run.Set({{"Obj_Number", "-5"}, {"Obj_Big", "123456789012"}, {"Obj_Letter", "Zed"}, {"Obj_Wide", ""},
           {"Obj_Flag", "true"}, {"Obj_Align", "alRight"}, {"Obj_Anchors", "[akRight]"}, {"Obj_Single", "2.25"},
           {"Obj_Real", "-1.5E-6"}, {"Obj_Text", "  hello  "}, {"Obj_Any", "text"}, {"Obj_Tint", "255"},
           {"Obj_FontHeight", "-16"}, {"Obj_FontName", "DejaVu Sans"}, {"Obj_FontPitch", "fpFixed"},
           {"Obj_FontStyle", "[fsItalic]"}, {"Obj_FontCharset", "238"}});
  run.Load();
  const TestObject& o = *run.object;
  EXPECT_EQ(o.number, -5);
  EXPECT_EQ(o.big, 123456789012LL);
  EXPECT_EQ(o.letter, 'Z');
  EXPECT_EQ(o.wide, QChar(u'w'));  // empty text leaves a character as it is
  EXPECT_TRUE(o.flag);
  EXPECT_EQ(o.align, TestObject::alRight);
  EXPECT_EQ(o.anchors, TestObject::TAnchors(TestObject::akRight));
  EXPECT_FLOAT_EQ(o.single, 2.25f);
  EXPECT_DOUBLE_EQ(o.real, -1.5e-6);
  EXPECT_EQ(o.text, "hello");
  EXPECT_EQ(o.any, QVariant(QString("text")));
  EXPECT_EQ(o.tint, QColor(255, 0, 0));
  EXPECT_EQ(o.Font()->Height(), -16);
  EXPECT_EQ(o.Font()->Size(), 12);
  EXPECT_EQ(o.Font()->Name(), "DejaVu Sans");
  EXPECT_EQ(o.Font()->Pitch(), TFont::fpFixed);
  EXPECT_EQ(o.Font()->Style(), TFont::TFontStyles(TFont::fsItalic));
  EXPECT_EQ(o.Font()->Charset(), 238);
}

TEST(PropsStorage, FontSizeIsAppliedAfterHeight) {
  StorageRun run;
  run.Use({"Obj.Font"});
  run.Set("Obj_FontHeight", "-40");
  run.Set("Obj_FontSize", "8");
  run.Load();
  EXPECT_EQ(run.object->Font()->Height(), -11);
}

TEST(PropsStorage, EnumerationsBySpelledNameIgnoringCase) {
  StorageRun run;
  run.Use({"Obj.Align", "Obj.Flag"});
  run.object->align = TestObject::alTop;
  run.Set("Obj_Align", "ALCLIENT");
  run.Load();
  EXPECT_EQ(run.object->align, TestObject::alClient);
  run.Set("Obj_Align", "alSomewhere");
  run.Set("Obj_Flag", "1");  // Booleans are read by name only
  run.Load();
  EXPECT_EQ(run.object->align, TestObject::alClient);
  EXPECT_FALSE(run.object->flag);
}

TEST(PropsStorage, SetsWithAndWithoutBrackets) {
  StorageRun run;
  run.Use({"Obj.Font"});
  run.Set("Obj_FontStyle", "fsBold, fsItalic");
  run.Load();
  EXPECT_EQ(run.object->Font()->Style(), TFont::fsBold | TFont::fsItalic);
  run.Set("Obj_FontStyle", "[fsBold,fsNothing]");
  run.Load();
  EXPECT_EQ(run.object->Font()->Style(), TFont::TFontStyles(TFont::fsBold));
  run.Set("Obj_FontStyle", "[]");
  run.Load();
  EXPECT_EQ(run.object->Font()->Style(), TFont::TFontStyles());
}

TEST(PropsStorage, UnreadableNumbers) {
  StorageRun run;
  run.Use({"Obj.Number", "Obj.Real", "Obj.Big"});
  run.object->number = 7;
  run.object->real = 2.5;
  run.object->big = 9;
  run.Set("Obj_Number", "abc");
  run.Set("Obj_Real", "1,5x");
  run.Set("Obj_Big", "12 monkeys");
  run.Load();
  EXPECT_EQ(run.object->number, 0);   // integers fall back to 0
  EXPECT_EQ(run.object->real, 2.5);   // floats stay
  EXPECT_EQ(run.object->big, 0);
}

TEST(PropsStorage, MissingKeysChangeNothing) {
  StorageRun run;
  run.object->number = 12;
  run.object->text = "kept";
  run.object->align = TestObject::alLeft;
  run.object->lines = {"a"};
  run.Use({"Obj.Number", "Obj.Text", "Obj.Align", "Obj.Lines", "Obj.Font", "Obj.Link"});
  run.Load();
  EXPECT_EQ(run.object->number, 12);
  EXPECT_EQ(run.object->text, "kept");
  EXPECT_EQ(run.object->align, TestObject::alLeft);
  EXPECT_EQ(run.object->lines, QStringList({"a"}));
  EXPECT_EQ(run.object->Font()->Name(), "MS Sans Serif");
}

TEST(PropsStorage, EmptyTextIsWrittenOnlyForStringsAndCharacters) {
  StorageRun run;
  run.object->text.clear();
  run.object->wide = QChar();
  run.object->align = static_cast<TestObject::TAlign>(7);  // no name: nothing to write
  run.Use({"Obj.Text", "Obj.Wide", "Obj.Align"});
  run.Store();
  EXPECT_EQ(run.memory.Value("User", "Obj_Text"), "");
  EXPECT_EQ(run.memory.Value("User", "Obj_Wide"), "");
  EXPECT_EQ(run.memory.Value("User", "Obj_Align"), "<none>");
}

TEST(PropsStorage, StringListsInTheirOwnSubSection) {
  StorageRun run;
  run.object->lines = {"one", " two "};
  run.Use({"Obj.Lines"});
  run.Store();
  EXPECT_EQ(run.memory.erased, std::vector<QString>({"User.Obj_Lines"}));
  EXPECT_EQ(run.memory.Value("User.Obj_Lines", "Count"), "2");
  EXPECT_EQ(run.memory.Value("User.Obj_Lines", "Item0"), "one");
  EXPECT_EQ(run.memory.Value("User.Obj_Lines", "Item1"), "two");
  run.object->lines.clear();
  run.Load();
  EXPECT_EQ(run.object->lines, QStringList({"one", "two"}));

  // An empty list erases the sub-section and writes no count.
  run.object->lines.clear();
  run.Store();
  EXPECT_EQ(run.memory.Value("User.Obj_Lines", "Count"), "<none>");
  run.object->lines = {"stays"};
  run.Load();
  EXPECT_EQ(run.object->lines, QStringList({"stays"}));

  // A damaged count is no reason to build two billion lines.
  run.memory.sections["user.obj_lines"]["count"] = "2000000000";
  run.Load();
  EXPECT_EQ(run.object->lines, QStringList({"stays"}));
}

TEST(PropsStorage, CollectionsRoundTripAndResize) {
  StorageRun run;
  auto* items = static_cast<TestItems*>(run.object->Items());
  auto* first = static_cast<TestItem*>(items->Add());
  first->caption = "first";
  first->tag = 1;
  auto* second = static_cast<TestItem*>(items->Add());
  second->caption = "second";
  second->tag = 2;
  run.Use({"Obj.Items"});
  run.Store();
  EXPECT_EQ(run.memory.Value("User", "Obj_Items.Count"), "2");
  EXPECT_EQ(run.memory.Value("User.Obj_Items", "Item1_Caption"), "second");
  EXPECT_EQ(run.memory.Value("User.Obj_Items", "Item0_Tag"), "1");
  items->Clear();
  items->Add();
  int updatesBefore = items->updates;
  run.Load();
  ASSERT_EQ(items->Count(), 2);
  EXPECT_EQ(static_cast<TestItem*>(items->Item(0))->caption, "first");
  EXPECT_EQ(static_cast<TestItem*>(items->Item(1))->tag, 2);
  EXPECT_EQ(items->UpdateCount(), 0);
  EXPECT_EQ(items->updates, updatesBefore + 1);  // held back during the load, released once
  run.Set("Obj_Items.Count", "-3");
  run.Load();
  EXPECT_EQ(items->Count(), 2);
}

TEST(PropsStorage, ComponentReferences) {
  StorageRun run;
  auto* target = new QObject(&run.window);
  target->setObjectName("Target");
  QWidget other;
  other.setObjectName("OtherForm");
  auto* outside = new QObject(&other);
  outside->setObjectName("Outside");
  run.Use({"Obj.Link"});

  run.object->link = target;
  run.Store();
  EXPECT_EQ(run.memory.Value("User", "Obj_Link"), "Target");
  run.object->link = outside;
  run.Store();
  EXPECT_EQ(run.memory.Value("User", "Obj_Link"), "OtherForm.Outside");
  run.object->link = nullptr;
  run.Store();
  EXPECT_EQ(run.memory.Value("User", "Obj_Link"), "(null)");

  run.Set("Obj_Link", "target");
  run.Load();
  EXPECT_EQ(run.object->link, target);
  run.Set("Obj_Link", "(NULL)");
  run.Load();
  EXPECT_EQ(run.object->link, nullptr);
  run.object->link = target;
  run.Set("Obj_Link", "NoSuchForm.Outside");  // no such owner: unchanged
  run.Load();
  EXPECT_EQ(run.object->link, target);
  run.Set("Obj_Link", "Nobody");  // the owner has no such component: cleared
  run.Load();
  EXPECT_EQ(run.object->link, nullptr);
}

TEST(PropsStorage, OneFailingPropertyDoesNotStopTheRun) {
  StorageRun run;
  run.Use({"Obj.Number", "Obj.Fragile", "Obj.Text"});
  run.object->fragile = 3;
  run.Set("Obj_Number", "1");
  run.Set("Obj_Fragile", "-1");
  run.Set("Obj_Text", "after");
  run.Load();
  EXPECT_EQ(run.object->number, 1);
  EXPECT_EQ(run.object->fragile, 3);
  EXPECT_EQ(run.object->text, "after");
}

TEST(StoredList, EntriesAreParsedTrimmedAndResolved) {
  StorageRun run;
  run.Use({"  Obj . Align  ", "NoPoint", ".Align", "Obj.", " . ", "Missing.Align", "obj.Number", "Obj.NoSuchProp"});
  QStringList texts;
  for (const TStoredProp& entry : run.list) texts << entry.Text;
  EXPECT_EQ(texts, QStringList({"  Obj . Align  ", "obj.Number", "Obj.NoSuchProp"}));
  run.object->align = TestObject::alBottom;
  run.Store();
  EXPECT_EQ(run.memory.Value("User", "Obj_Align"), "alBottom");
  EXPECT_EQ(run.memory.Value("User", "Obj_Number"), "0");
  // Resolving to the list rewrites each entry with its component's current name.
  texts.clear();
  for (const TStoredProp& entry : run.list) texts << entry.Text;
  EXPECT_EQ(texts, QStringList({"Obj.Align", "Obj.Number", "Obj.NoSuchProp"}));
  run.object->setObjectName("Renamed");
  run.Store();
  EXPECT_EQ(run.list[0].Text, "Renamed.Align");
  EXPECT_EQ(run.memory.Value("User", "Renamed_Align"), "alBottom");
}

TEST(StoredList, EntriesOfDestroyedComponentsAreDropped) {
  StorageRun run;
  run.Use({"Obj.Number"});
  delete run.object;
  run.Store();
  EXPECT_TRUE(run.list.isEmpty());
  EXPECT_TRUE(run.memory.order.empty());
}

TEST(WidgetAdapters, WidthHeightFontColourAndChecked) {
  QWidget window;
  window.setObjectName("Form1");
  auto* panel = new QWidget(&window);
  panel->setObjectName("PanelLeft");
  panel->resize(240, 100);
  auto* action = new QAction(&window);
  action->setObjectName("TileMenu");
  action->setCheckable(true);
  action->setChecked(true);
  TStoredPropsList list;
  for (QString entry : {"PanelLeft.Width", "PanelLeft.Font", "PanelLeft.Color", "TileMenu.Checked"}) {
    list.append({entry, nullptr});
  }
  settings::UpdateStoredList(&window, list, true);
  Memory memory;
  TPropsStorage storage;
  storage.SetSection("User");
  memory.Attach(storage);
  storage.StoreObjectsProps(&window, list);
  EXPECT_EQ(memory.Value("User", "PanelLeft_Width"), "240");
  EXPECT_EQ(memory.Value("User", "TileMenu_Checked"), "True");
  EXPECT_EQ(memory.Value("User", "PanelLeft_FontColor"), "-2147483640");

  memory.sections["user"]["panelleft_width"] = "abc";
  memory.sections["user"]["tilemenu_checked"] = "False";
  memory.sections["user"]["panelleft_fontcolor"] = "255";
  memory.sections["user"]["panelleft_fontname"] = "Courier";
  memory.sections["user"]["panelleft_color"] = "-2147483633";
  storage.LoadObjectsProps(&window, list);
  EXPECT_EQ(panel->width(), 0);
  EXPECT_FALSE(action->isChecked());
  EXPECT_EQ(panel->font().family(), "Courier");
  EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(panel->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
  // The framework values come back as they went in, not as Qt's resolved colours.
  storage.StoreObjectsProps(&window, list);
  EXPECT_EQ(memory.Value("User", "PanelLeft_FontColor"), "255");
  EXPECT_EQ(memory.Value("User", "PanelLeft_Color"), "-2147483633");
}

TEST(WidgetAdapters, WidthInASplitterTakesFromTheNeighbour) {
  QSplitter splitter;
  splitter.resize(600, 300);
  auto* left = new QWidget;
  left->setObjectName("PanelLeft");
  splitter.addWidget(left);
  splitter.addWidget(new QWidget);
  splitter.setSizes({300, 300});
  int total = splitter.sizes().value(0) + splitter.sizes().value(1);
  TPropInfoList props(left);
  props.Find("Width")->Set(left, QVariant(qint64(200)));
  EXPECT_EQ(splitter.sizes().value(0), 200);
  EXPECT_EQ(splitter.sizes().value(0) + splitter.sizes().value(1), total);
}

TEST(Fonts, HeightsAndSizesAt96PixelsPerInch) {
  TFont font;
  EXPECT_EQ(font.Height(), -11);
  EXPECT_EQ(font.Size(), 8);
  font.SetSize(10);
  EXPECT_EQ(font.Height(), -13);
  QFont qt = font.ToQFont();
  EXPECT_DOUBLE_EQ(qt.pointSizeF(), 9.75);
  TFont back;
  back.AssignQFont(qt);
  EXPECT_EQ(back.Height(), -13);
  font.SetHeight(-2000000000);  // from a damaged file: still a usable font
  EXPECT_GT(font.ToQFont().pointSizeF(), 0);
}

TEST(Colours, SystemColoursComeFromThePalette) {
  QPalette palette;
  palette.setColor(QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::WindowText, QColor(4, 5, 6));
  EXPECT_EQ(ColorToQColor(settings::kButtonFaceColor, palette), QColor(1, 2, 3));
  EXPECT_EQ(ColorToQColor(settings::kWindowTextColor, palette), QColor(4, 5, 6));
  EXPECT_EQ(ColorToQColor(0x00FF8000, palette), QColor(0, 0x80, 0xFF));
  EXPECT_EQ(QColorToColor(QColor(0, 0x80, 0xFF)), 0x00FF8000);
  EXPECT_EQ(ColorToQColor(static_cast<TColor>(0x800000FF), palette).isValid(), true);
  // The two special values survive a trip through Qt and back.
  EXPECT_EQ(QColorToColor(ColorToQColor(clNone, palette)), clNone);
  EXPECT_EQ(QColorToColor(ColorToQColor(clDefault, palette)), clDefault);
}

TEST(Floats, WrittenAsTheFrameworkDoes) {
  EXPECT_EQ(settings::FloatToText(0.1f, 7), "0.1");
  EXPECT_EQ(settings::FloatToText(1e-6, 15), "1E-6");
  EXPECT_EQ(settings::FloatToText(123456789.0, 15), "123456789");
  EXPECT_EQ(settings::FloatToText(std::numeric_limits<double>::infinity(), 15), "INF");
}

}  // namespace
}  // namespace vumo

#include "props_storage_test.moc"
