#include "settings/prop_info.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontDialog>
#include <QMetaProperty>
#include <QSplitter>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

#include "settings/font.h"

namespace vumo {

TCollectionItem::TCollectionItem(TCollection* collection) : QObject(collection) {
  if (collection) collection->Attach(this);
}

TCollection* TCollectionItem::Collection() const { return qobject_cast<TCollection*>(parent()); }

int TCollectionItem::Index() const { return Collection() ? Collection()->IndexOf(this) : -1; }

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[index];
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = NewItem();
  if (item->parent() != this) item->setParent(this);
  Attach(item);
  return item;
}

void TCollection::Attach(TCollectionItem* item) {
  if (!items_.contains(item)) {
    items_.append(item);
    if (updateCount_ == 0) Update();
  }
}

void TCollection::Clear() {
  QList<TCollectionItem*> old;
  old.swap(items_);
  qDeleteAll(old);
  if (!old.isEmpty() && updateCount_ == 0) Update();
}

void TCollection::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  delete items_.takeAt(index);
  if (updateCount_ == 0) Update();
}

int TCollection::IndexOf(const TCollectionItem* item) const {
  return static_cast<int>(items_.indexOf(const_cast<TCollectionItem*>(item)));
}

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Update();
}

namespace settings {

namespace {

using AdapterMap = std::map<QByteArray, std::vector<TPropInfo>>;

qint64 RawEnumValue(const void* data, qsizetype size) {
  switch (size) {
    case 1: { qint8 v; std::memcpy(&v, data, 1); return v; }
    case 2: { qint16 v; std::memcpy(&v, data, 2); return v; }
    case 8: { qint64 v; std::memcpy(&v, data, 8); return v; }
    default: { qint32 v; std::memcpy(&v, data, 4); return v; }
  }
}

QVariant MakeEnumVariant(QMetaType type, qint64 value) {
  qint8 v8 = static_cast<qint8>(value);
  qint16 v16 = static_cast<qint16>(value);
  qint32 v32 = static_cast<qint32>(value);
  switch (type.sizeOf()) {
    case 1: return QVariant(type, &v8);
    case 2: return QVariant(type, &v16);
    case 8: return QVariant(type, &value);
    default: return QVariant(type, &v32);
  }
}

[[noreturn]] void Refused(const QString& name) {
  throw std::runtime_error("property " + name.toStdString() + " refused the value");
}

// Keeps the framework's font attributes that Qt's font lacks (character set, colour) on the
// object itself, so a font round-trips through the settings file unchanged.
std::shared_ptr<QObject> FontOf(QObject* object, const QFont& qfont) {
  auto font = std::make_shared<TFont>();
  font->AssignQFont(qfont);
  QVariant charset = object->property("vumoFontCharset");
  QVariant color = object->property("vumoFontColor");
  font->SetCharset(charset.isValid() ? charset.toInt() : kDefaultCharset);
  font->SetColor(color.isValid() ? color.toInt() : kWindowTextColor);
  return font;
}

void KeepFontExtras(QObject* object, const TFont& font) {
  object->setProperty("vumoFontCharset", font.Charset());
  object->setProperty("vumoFontColor", font.Color());
}

TPropInfo FontAdapter(std::function<QFont(QObject*)> get, std::function<void(QObject*, const QFont&)> set) {
  TPropInfo info;
  info.Name = QStringLiteral("Font");
  info.Kind = tkClass;
  info.Object = ObjectKind::kPersistent;
  info.Acquire = [get](QObject* object) { return FontOf(object, get(object)); };
  info.Commit = [set](QObject* object, QObject* value) {
    auto* font = qobject_cast<TFont*>(value);
    if (!font) return;
    set(object, font->ToQFont());
    KeepFontExtras(object, *font);
  };
  return info;
}

void SetWidgetWidth(QWidget* widget, int width) {
  width = std::clamp(width, 0, QWIDGETSIZE_MAX);
  if (auto* splitter = qobject_cast<QSplitter*>(widget->parentWidget());
      splitter && splitter->orientation() == Qt::Horizontal) {
    // In a splitter the width is the splitter's to hand out: take it from the neighbour.
    QList<int> sizes = splitter->sizes();
    int index = splitter->indexOf(widget);
    int total = 0;
    for (int size : sizes) total += size;
    if (index >= 0 && sizes.size() > 1 && total > 0) {
      int neighbour = index + 1 < sizes.size() ? index + 1 : index - 1;
      int available = sizes[index] + sizes[neighbour];
      int wanted = std::min(width, available);
      sizes[neighbour] = available - wanted;
      sizes[index] = wanted;
      splitter->setSizes(sizes);
      return;
    }
  }
  if (widget->minimumWidth() == widget->maximumWidth()) {
    widget->setFixedWidth(width);
  } else {
    widget->resize(width, widget->height());
  }
}

void SetWidgetHeight(QWidget* widget, int height) {
  height = std::clamp(height, 0, QWIDGETSIZE_MAX);
  if (widget->minimumHeight() == widget->maximumHeight()) {
    widget->setFixedHeight(height);
  } else {
    widget->resize(widget->width(), height);
  }
}

TPropInfo IntAdapter(const char* name, std::function<qint64(QObject*)> get,
                     std::function<void(QObject*, qint64)> set) {
  TPropInfo info;
  info.Name = QString::fromLatin1(name);
  info.Kind = tkInteger;
  info.Get = [get](QObject* object) { return QVariant(get(object)); };
  info.Set = [set](QObject* object, const QVariant& value) { set(object, value.toLongLong()); };
  return info;
}

TPropInfo BoolAdapter(const char* name, std::function<bool(QObject*)> get, std::function<void(QObject*, bool)> set) {
  TPropInfo info = IntAdapter(
      name, [get](QObject* object) -> qint64 { return get(object) ? 1 : 0; },
      [set](QObject* object, qint64 value) { set(object, value != 0); });
  info.Kind = tkEnumeration;
  info.Names = {{QStringLiteral("False"), 0}, {QStringLiteral("True"), 1}};
  return info;
}

void RegisterBuiltIns(AdapterMap& map) {
  auto widget = [](QObject* object) { return static_cast<QWidget*>(object); };
  auto action = [](QObject* object) { return static_cast<QAction*>(object); };
  std::vector<TPropInfo>& widgets = map["QWidget"];
  widgets.push_back(IntAdapter(
      "Width", [=](QObject* o) -> qint64 { return widget(o)->width(); },
      [=](QObject* o, qint64 v) { SetWidgetWidth(widget(o), static_cast<int>(std::clamp<qint64>(v, INT32_MIN, INT32_MAX))); }));
  widgets.push_back(IntAdapter(
      "Height", [=](QObject* o) -> qint64 { return widget(o)->height(); },
      [=](QObject* o, qint64 v) { SetWidgetHeight(widget(o), static_cast<int>(std::clamp<qint64>(v, INT32_MIN, INT32_MAX))); }));
  // A widget's font colour is the text colour of its palette.
  widgets.push_back(FontAdapter([=](QObject* o) { return widget(o)->font(); },
                                [=](QObject* o, const QFont& f) { widget(o)->setFont(f); }));
  widgets.back().Commit = [=](QObject* o, QObject* value) {
    auto* f = qobject_cast<TFont*>(value);
    if (!f) return;
    QWidget* w = widget(o);
    w->setFont(f->ToQFont());
    KeepFontExtras(o, *f);
    QPalette palette = w->palette();
    QColor text = ColorToQColor(f->Color(), QApplication::palette(w));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    w->setPalette(palette);
  };
  widgets.push_back(IntAdapter(
      "Color",
      [=](QObject* o) -> qint64 {
        QVariant kept = o->property("vumoColor");
        return kept.isValid() ? kept.toInt() : QColorToColor(widget(o)->palette().color(QPalette::Window));
      },
      [=](QObject* o, qint64 v) {
        QWidget* w = widget(o);
        TColor color = static_cast<TColor>(v);
        o->setProperty("vumoColor", color);
        QPalette palette = w->palette();
        palette.setColor(QPalette::Window, ColorToQColor(color, QApplication::palette(w)));
        w->setPalette(palette);
        w->setAutoFillBackground(true);
      }));
  std::vector<TPropInfo>& actions = map["QAction"];
  actions.push_back(BoolAdapter(
      "Checked", [=](QObject* o) { return action(o)->isChecked(); },
      [=](QObject* o, bool v) { action(o)->setChecked(v); }));
  actions.push_back(BoolAdapter(
      "Enabled", [=](QObject* o) { return action(o)->isEnabled(); },
      [=](QObject* o, bool v) { action(o)->setEnabled(v); }));
  actions.push_back(BoolAdapter(
      "Visible", [=](QObject* o) { return action(o)->isVisible(); },
      [=](QObject* o, bool v) { action(o)->setVisible(v); }));
  map["QFontDialog"].push_back(
      FontAdapter([](QObject* o) { return static_cast<QFontDialog*>(o)->currentFont(); },
                  [](QObject* o, const QFont& f) { static_cast<QFontDialog*>(o)->setCurrentFont(f); }));
}

AdapterMap& Adapters() {
  static AdapterMap map = [] {
    AdapterMap built;
    RegisterBuiltIns(built);
    return built;
  }();
  return map;
}

bool Inherits(const QMetaObject* meta, const QMetaObject* base) { return meta && meta->inherits(base); }

// Describes one Q_PROPERTY; tkUnknown when its type has no text form here.
TPropInfo Describe(const QMetaProperty& property) {
  TPropInfo info;
  info.Name = QString::fromLatin1(property.name());
  if (!property.isReadable()) return info;
  QMetaType type = property.metaType();
  QMetaProperty p = property;
  auto write = [p](QObject* object, const QVariant& value) {
    if (!p.write(object, value)) Refused(QString::fromLatin1(p.name()));
  };
  if (p.isEnumType()) {
    QMetaEnum meta = p.enumerator();
    info.Kind = meta.isFlag() ? tkSet : tkEnumeration;
    for (int i = 0; i < meta.keyCount(); ++i) {
      qint64 value = static_cast<qint64>(static_cast<quint32>(meta.value(i)));
      if (meta.isFlag()) {
        // Sets have members; combined and empty keys are no members.
        if (value == 0 || (value & (value - 1)) != 0) continue;
      } else {
        value = meta.value(i);
      }
      info.Names.append({QString::fromLatin1(meta.key(i)), value});
    }
    info.Get = [p](QObject* object) { return QVariant(EnumVariantValue(p.read(object))); };
    info.Set = [p, type](QObject* object, const QVariant& value) {
      if (!p.write(object, MakeEnumVariant(type, value.toLongLong()))) Refused(QString::fromLatin1(p.name()));
    };
    return info;
  }
  switch (type.id()) {
    case QMetaType::Bool:
      info.Kind = tkEnumeration;
      info.Names = {{QStringLiteral("False"), 0}, {QStringLiteral("True"), 1}};
      info.Get = [p](QObject* object) { return QVariant(qint64(p.read(object).toBool() ? 1 : 0)); };
      info.Set = [write](QObject* object, const QVariant& value) { write(object, QVariant(value.toLongLong() != 0)); };
      return info;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::UChar: case QMetaType::SChar: case QMetaType::Long: case QMetaType::ULong:
      info.Kind = tkInteger;
      break;
    case QMetaType::LongLong: case QMetaType::ULongLong:
      info.Kind = tkInt64;
      break;
    case QMetaType::Char:
      info.Kind = tkChar;
      info.Get = [p](QObject* object) { return QVariant(QString(QChar::fromLatin1(p.read(object).value<char>()))); };
      info.Set = [write](QObject* object, const QVariant& value) {
        QString text = value.toString();
        write(object, QVariant::fromValue(text.isEmpty() ? '\0' : text[0].toLatin1()));
      };
      return info;
    case QMetaType::QChar:
      info.Kind = tkWChar;
      info.Get = [p](QObject* object) {
        QChar c = p.read(object).value<QChar>();
        return QVariant(c.isNull() ? QString() : QString(c));
      };
      info.Set = [write](QObject* object, const QVariant& value) {
        QString text = value.toString();
        write(object, QVariant::fromValue(text.isEmpty() ? QChar() : text[0]));
      };
      return info;
    case QMetaType::Float:
      info.Kind = tkFloat;
      info.Precision = 7;
      break;
    case QMetaType::Double:
      info.Kind = tkFloat;
      info.Precision = 15;
      break;
    case QMetaType::QString:
      info.Kind = tkLString;
      break;
    case QMetaType::QVariant:
      info.Kind = tkVariant;
      info.Get = [p](QObject* object) { return p.read(object); };
      info.Set = write;
      break;
    case QMetaType::QStringList:
      info.Kind = tkClass;
      info.Object = ObjectKind::kStrings;
      break;
    case QMetaType::QColor:
      // A colour is kept as the framework's colour value.
      info.Kind = tkInteger;
      info.Get = [p](QObject* object) { return QVariant(qint64(QColorToColor(p.read(object).value<QColor>()))); };
      info.Set = [write](QObject* object, const QVariant& value) {
        write(object, QVariant(ColorToQColor(static_cast<TColor>(value.toLongLong()))));
      };
      return info;
    case QMetaType::QFont:
      info.Kind = tkClass;
      info.Object = ObjectKind::kPersistent;
      info.Acquire = [p](QObject* object) { return FontOf(object, p.read(object).value<QFont>()); };
      info.Commit = [write](QObject* object, QObject* value) {
        auto* font = qobject_cast<TFont*>(value);
        if (!font) return;
        write(object, QVariant(font->ToQFont()));
        KeepFontExtras(object, *font);
      };
      return info;
    default:
      if (type.flags() & QMetaType::PointerToQObject) {
        const QMetaObject* target = type.metaObject();
        info.Kind = tkClass;
        if (Inherits(target, &TCollection::staticMetaObject) || Inherits(target, &TPersistent::staticMetaObject)) {
          info.Object = Inherits(target, &TCollection::staticMetaObject) ? ObjectKind::kCollection
                                                                          : ObjectKind::kPersistent;
          // The object belongs to its owner: borrow it, and hand it back through the setter
          // so the owner can apply what changed.
          info.Acquire = [p](QObject* object) {
            return std::shared_ptr<QObject>(p.read(object).value<QObject*>(), [](QObject*) {});
          };
          info.Commit = [p](QObject* object, QObject* value) {
            if (p.isWritable()) p.write(object, QVariant(p.metaType(), &value));
          };
          return info;
        }
        info.Object = ObjectKind::kComponent;
        info.Get = [p](QObject* object) { return QVariant::fromValue(p.read(object).value<QObject*>()); };
        info.Set = [p, target](QObject* object, const QVariant& value) {
          QObject* component = value.value<QObject*>();
          // A component of the wrong class would be a dangling cast in the owner.
          if (component && !Inherits(component->metaObject(), target)) Refused(QString::fromLatin1(p.name()));
          if (!p.write(object, QVariant(p.metaType(), &component))) Refused(QString::fromLatin1(p.name()));
        };
        return info;
      }
      return info;
  }
  if (!info.Get) info.Get = [p](QObject* object) { return p.read(object); };
  if (!info.Set) {
    info.Set = [write, type, kind = info.Kind](QObject* object, const QVariant& value) {
      QVariant converted = value;
      if (kind == tkInteger) {
        // Integers are 32-bit values whatever the declared C++ type.
        qint32 bits = static_cast<qint32>(value.toLongLong());
        converted = QVariant(bits);
      }
      if (!converted.convert(type)) Refused(QStringLiteral("?"));
      write(object, converted);
    };
  }
  return info;
}

}  // namespace

qint64 EnumVariantValue(const QVariant& value) {
  if (!value.isValid()) return 0;
  if (value.metaType().id() == QMetaType::Int) return value.toInt();
  if (value.metaType().id() == QMetaType::LongLong) return value.toLongLong();
  qsizetype size = value.metaType().sizeOf();
  if (size != 1 && size != 2 && size != 4 && size != 8) return value.toLongLong();
  return RawEnumValue(value.constData(), size);
}

void RegisterPropAdapter(const char* className, TPropInfo info) {
  Adapters()[QByteArray(className)].push_back(std::move(info));
}

}  // namespace settings

TPropInfoList::TPropInfoList(const QObject* object) {
  if (!object) return;
  std::vector<TPropInfo> found;
  auto seen = [&found](const QString& name) {
    return std::any_of(found.begin(), found.end(),
                       [&](const TPropInfo& info) { return info.Name.compare(name, Qt::CaseInsensitive) == 0; });
  };
  const auto& adapters = settings::Adapters();
  // Most derived class first: what a class declares hides what its bases declare.
  for (const QMetaObject* meta = object->metaObject(); meta && meta != &QObject::staticMetaObject;
       meta = meta->superClass()) {
    auto it = adapters.find(QByteArray(meta->className()));
    if (it != adapters.end()) {
      for (const TPropInfo& info : it->second) {
        if (!seen(info.Name)) found.push_back(info);
      }
    }
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
      TPropInfo info = settings::Describe(meta->property(i));
      if (info.Kind == tkUnknown || info.Kind == tkMethod || seen(info.Name)) continue;
      found.push_back(std::move(info));
    }
  }
  std::stable_sort(found.begin(), found.end(), [](const TPropInfo& a, const TPropInfo& b) {
    return a.Name.compare(b.Name, Qt::CaseInsensitive) < 0;
  });
  items_ = std::move(found);
}

const TPropInfo* TPropInfoList::Find(const QString& name) const {
  for (const TPropInfo& info : items_) {
    if (info.Name.compare(name, Qt::CaseInsensitive) == 0) return &info;
  }
  return nullptr;
}

}  // namespace vumo
