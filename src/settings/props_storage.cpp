#include "settings/props_storage.h"

#include <QApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <optional>

#include "settings/profile_file.h"

namespace vumo {

namespace settings {

bool ParseStoredEntry(const QString& entry, QString* component, QString* property) {
  qsizetype point = entry.indexOf(u'.');
  if (point < 0) return false;
  QString left = TrimBlanks(entry.left(point));
  QString right = TrimBlanks(entry.mid(point + 1));
  if (left.isEmpty() || right.isEmpty()) return false;
  if (component) *component = left;
  if (property) *property = right;
  return true;
}

QObject* FindComponent(QObject* owner, const QString& name) {
  if (!owner || name.isEmpty()) return nullptr;
  const QList<QObject*> all = owner->findChildren<QObject*>();
  for (QObject* object : all) {
    if (object->objectName().compare(name, Qt::CaseInsensitive) == 0) return object;
  }
  return nullptr;
}

void UpdateStoredList(QObject* owner, TStoredPropsList& list, bool fromOwner) {
  for (qsizetype i = list.size() - 1; i >= 0; --i) {
    QString component;
    QString property;
    bool parsed = ParseStoredEntry(list[i].Text, &component, &property);
    if (fromOwner) {
      QObject* found = parsed ? FindComponent(owner, component) : nullptr;
      if (found) {
        list[i].Object = found;
      } else {
        list.removeAt(i);
      }
    } else if (parsed && list[i].Object) {
      // The entry follows its component when it is renamed.
      list[i].Text = list[i].Object->objectName() + u'.' + property;
    } else {
      list.removeAt(i);
    }
  }
}

QString FloatToText(double value, int precision) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
  QString text = QString::number(value, 'g', precision);
  qsizetype e = text.indexOf(u'e');
  if (e < 0) return text;
  // The framework writes exponents as "E20" and "E-6".
  int exponent = text.mid(e + 1).toInt();
  return text.left(e) + u'E' + QString::number(exponent);
}

namespace {

std::optional<double> TextToFloat(const QString& text) {
  QString s = text.trimmed();
  if (s.compare(u"NAN", Qt::CaseInsensitive) == 0) return std::nan("");
  if (s.compare(u"INF", Qt::CaseInsensitive) == 0) return HUGE_VAL;
  if (s.compare(u"-INF", Qt::CaseInsensitive) == 0) return -HUGE_VAL;
  bool ok = false;
  double value = QLocale::c().toDouble(s, &ok);
  if (!ok) return std::nullopt;
  return value;
}

bool WritesEmpty(TTypeKind kind) { return kind == tkString || kind == tkLString || kind == tkWChar; }

bool IsDescendant(const QObject* object, const QObject* ancestor) {
  for (const QObject* p = object ? object->parent() : nullptr; p; p = p->parent()) {
    if (p == ancestor) return true;
  }
  return false;
}

QString ClassNameLessT(const QObject* object) {
  QString name = QString::fromLatin1(object->metaObject()->className());
  name = name.mid(name.lastIndexOf(u':') + 1);
  if (name.startsWith(u'T', Qt::CaseInsensitive)) name.remove(0, 1);
  return name;
}

}  // namespace
}  // namespace settings

using settings::TrimBlanks;

QString TPropsStorage::ReadText(const QString& section, const QString& key, const QString& defaultValue) {
  return OnReadString ? OnReadString(section, key, defaultValue) : QString();
}

void TPropsStorage::WriteText(const QString& section, const QString& key, const QString& value) {
  if (OnWriteString) OnWriteString(section, key, value);
}

void TPropsStorage::ClearSection(const QString& section) {
  if (OnEraseSection) OnEraseSection(section);
}

QString TPropsStorage::KeyName(const QString& name) { return prefix_ + name; }

std::unique_ptr<TPropsStorage> TPropsStorage::NewStorage() { return std::make_unique<TPropsStorage>(); }

std::unique_ptr<TPropsStorage> TPropsStorage::Nested(QObject* object, const QString& section,
                                                     const QString& prefix) {
  std::unique_ptr<TPropsStorage> storage = NewStorage();
  storage->OnReadString = OnReadString;
  storage->OnWriteString = OnWriteString;
  storage->OnEraseSection = OnEraseSection;
  storage->object_ = object;
  storage->owner_ = owner_;
  storage->section_ = section;
  storage->prefix_ = prefix;
  return storage;
}

QString TPropsStorage::ValueText(const TPropInfo& info) {
  QVariant value = info.Get ? info.Get(object_) : QVariant();
  switch (info.Kind) {
    case tkInteger:
      return QString::number(static_cast<qint32>(value.toLongLong()));
    case tkInt64:
      return QString::number(value.toLongLong());
    case tkChar:
    case tkWChar:
      return value.toString().left(1);
    case tkEnumeration: {
      qint64 v = value.toLongLong();
      for (const auto& [name, member] : info.Names) {
        if (member == v) return name;
      }
      return QString();
    }
    case tkSet: {
      qint64 bits = value.toLongLong();
      QList<QPair<QString, qint64>> members = info.Names;
      std::stable_sort(members.begin(), members.end(),
                       [](const auto& a, const auto& b) { return static_cast<quint64>(a.second) < static_cast<quint64>(b.second); });
      QStringList present;
      for (const auto& [name, member] : members) {
        if ((bits & member) == member && !present.contains(name)) present << name;
      }
      return u'[' + present.join(u',') + u']';
    }
    case tkFloat:
      return settings::FloatToText(value.toDouble(), info.Precision);
    case tkString:
    case tkLString:
    case tkWString:
      return value.toString();
    case tkVariant:
      return value.toString();
    default:
      return QString();
  }
}

void TPropsStorage::ApplyText(const TPropInfo& info, const QString& text) {
  if (!info.Set) return;
  switch (info.Kind) {
    case tkInteger:
      info.Set(object_, QVariant(qint64(settings::StrToIntDef(text, 0))));
      return;
    case tkInt64:
      info.Set(object_, QVariant(settings::StrToInt64Def(text, 0)));
      return;
    case tkChar:
    case tkWChar:
      if (!text.isEmpty()) info.Set(object_, QVariant(text.left(1)));
      return;
    case tkEnumeration: {
      // The first declared name from the lowest value up.
      QList<QPair<QString, qint64>> names = info.Names;
      std::stable_sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
      for (const auto& [name, value] : names) {
        if (name.compare(text, Qt::CaseInsensitive) == 0) {
          info.Set(object_, QVariant(value));
          return;
        }
      }
      return;
    }
    case tkSet: {
      static const QRegularExpression separators(QStringLiteral("[ ,\\[\\]]+"));
      qint64 bits = 0;
      for (const QString& word : text.split(separators, Qt::SkipEmptyParts)) {
        for (const auto& [name, member] : info.Names) {
          if (name.compare(word, Qt::CaseInsensitive) == 0) bits |= member;
        }
      }
      info.Set(object_, QVariant(bits));
      return;
    }
    case tkFloat:
      if (std::optional<double> value = settings::TextToFloat(text)) info.Set(object_, QVariant(*value));
      return;
    case tkString:
    case tkLString:
    case tkWString:
      info.Set(object_, QVariant(text));
      return;
    case tkVariant:
      info.Set(object_, QVariant(text));
      return;
    default:
      return;
  }
}

QString TPropsStorage::ComponentText(QObject* component) const {
  if (!component) return QStringLiteral("(null)");
  if (!owner_ || settings::IsDescendant(component, owner_)) return component->objectName();
  QObject* root = component->parent();
  while (root && root->parent()) root = root->parent();
  if (!root) return component->objectName();
  QString ownerName = root->objectName().isEmpty() ? settings::ClassNameLessT(root) : root->objectName();
  return ownerName + u'.' + component->objectName();
}

QString TPropsStorage::StoreObject(const TPropInfo& info) {
  using settings::ObjectKind;
  QString property = KeyName(info.Name);
  switch (info.Object) {
    case ObjectKind::kStrings: {
      QString sub = section_ + u'.' + property;
      QStringList lines = info.Get ? info.Get(object_).toStringList() : QStringList();
      ClearSection(sub);
      if (!lines.isEmpty()) {
        WriteText(sub, QStringLiteral("Count"), QString::number(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i) {
          WriteText(sub, QStringLiteral("Item%1").arg(i), TrimBlanks(lines[i]));
        }
      }
      return QString();
    }
    case ObjectKind::kCollection: {
      std::shared_ptr<QObject> held = info.Acquire ? info.Acquire(object_) : nullptr;
      auto* collection = qobject_cast<TCollection*>(held.get());
      if (!collection) return QString();
      QString sub = section_ + u'.' + property;
      ClearSection(sub);
      WriteText(section_, property + QStringLiteral(".Count"), QString::number(collection->Count()));
      for (int i = 0; i < collection->Count(); ++i) {
        Nested(collection->Item(i), sub, QStringLiteral("Item%1_").arg(i))->StoreProperties();
      }
      return QString();
    }
    case ObjectKind::kComponent:
      return ComponentText(info.Get ? info.Get(object_).value<QObject*>() : nullptr);
    case ObjectKind::kPersistent: {
      std::shared_ptr<QObject> held = info.Acquire ? info.Acquire(object_) : nullptr;
      if (held) Nested(held.get(), section_, property)->StoreProperties();
      return QString();
    }
    case ObjectKind::kNone:
      break;
  }
  return QString();
}

void TPropsStorage::LoadObject(const TPropInfo& info, const QString& text) {
  using settings::ObjectKind;
  QString property = KeyName(info.Name);
  switch (info.Object) {
    case ObjectKind::kStrings: {
      QString sub = section_ + u'.' + property;
      int count = settings::StrToIntDef(ReadText(sub, QStringLiteral("Count"), QStringLiteral("0")), 0);
      if (count <= 0 || count > settings::kMaxStoredItems || !info.Set) return;
      QStringList lines;
      lines.reserve(count);
      for (int i = 0; i < count; ++i) lines << TrimBlanks(ReadText(sub, QStringLiteral("Item%1").arg(i), QString()));
      info.Set(object_, QVariant(lines));
      return;
    }
    case ObjectKind::kCollection: {
      std::shared_ptr<QObject> held = info.Acquire ? info.Acquire(object_) : nullptr;
      auto* collection = qobject_cast<TCollection*>(held.get());
      if (!collection) return;
      QString sub = section_ + u'.' + property;
      int current = collection->Count();
      int count = settings::StrToIntDef(
          ReadText(section_, property + QStringLiteral(".Count"), QString::number(current)), current);
      if (count < 0 || count > settings::kMaxStoredItems) return;  // damage: keep what we have
      collection->BeginUpdate();
      struct Release {
        TCollection* collection;
        ~Release() { collection->EndUpdate(); }
      } release{collection};
      if (count != current) {
        collection->Clear();
        for (int i = 0; i < count; ++i) collection->Add();
      }
      for (int i = 0; i < collection->Count(); ++i) {
        Nested(collection->Item(i), sub, QStringLiteral("Item%1_").arg(i))->LoadProperties();
      }
      if (info.Commit) info.Commit(object_, collection);
      return;
    }
    case ObjectKind::kComponent: {
      if (text.isEmpty() || !info.Set) return;
      if (text.compare(u"(null)", Qt::CaseInsensitive) == 0) {
        info.Set(object_, QVariant::fromValue<QObject*>(nullptr));
        return;
      }
      QObject* owner = owner_;
      QString name = text;
      qsizetype point = text.indexOf(u'.');
      if (point >= 0) {
        QString ownerName = TrimBlanks(text.left(point));
        name = TrimBlanks(text.mid(point + 1));
        owner = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets()) {
          if (window->objectName().compare(ownerName, Qt::CaseInsensitive) == 0) {
            owner = window;
            break;
          }
        }
      }
      if (!owner) return;
      info.Set(object_, QVariant::fromValue(settings::FindComponent(owner, TrimBlanks(name))));
      return;
    }
    case ObjectKind::kPersistent: {
      std::shared_ptr<QObject> held = info.Acquire ? info.Acquire(object_) : nullptr;
      if (!held) return;
      Nested(held.get(), section_, property)->LoadProperties();
      if (info.Commit) info.Commit(object_, held.get());
      return;
    }
    case ObjectKind::kNone:
      return;
  }
}

void TPropsStorage::StoreAnyProperty(const TPropInfo& info) {
  QString text = info.Kind == tkClass ? StoreObject(info) : ValueText(info);
  if (!text.isEmpty() || settings::WritesEmpty(info.Kind)) WriteText(section_, KeyName(info.Name), TrimBlanks(text));
}

void TPropsStorage::LoadAnyProperty(const TPropInfo& info) {
  // A value that cannot be applied leaves its property as it was; the run goes on.
  try {
    QString defaultText = info.Kind == tkClass ? QString() : ValueText(info);
    QString text;
    if (!defaultText.isEmpty() || info.Kind == tkString || info.Kind == tkClass || info.Kind == tkWChar ||
        info.Kind == tkLString) {
      text = TrimBlanks(ReadText(section_, KeyName(info.Name), defaultText));
    }
    if (info.Kind == tkClass) {
      LoadObject(info, text);
    } else {
      ApplyText(info, text);
    }
  } catch (...) {
  }
}

void TPropsStorage::StoreProperties() {
  if (!object_) return;
  TPropInfoList list(object_);
  for (int i = 0; i < list.Count(); ++i) StoreAnyProperty(list[i]);
}

void TPropsStorage::LoadProperties() {
  if (!object_) return;
  TPropInfoList list(object_);
  for (int i = 0; i < list.Count(); ++i) LoadAnyProperty(list[i]);
}

void TPropsStorage::RunList(QObject* owner, TStoredPropsList& list, bool store) {
  settings::UpdateStoredList(owner, list, false);
  std::map<QObject*, std::unique_ptr<TPropInfoList>> lookup;
  try {
    for (const TStoredProp& entry : list) {
      QObject* component = entry.Object;
      if (component && !lookup.count(component)) lookup[component] = std::make_unique<TPropInfoList>(component);
    }
  } catch (...) {
    return;
  }
  struct RunOwner {
    TPropsStorage* storage;
    ~RunOwner() {
      storage->owner_ = nullptr;
      storage->object_ = nullptr;
    }
  } runOwner{this};
  owner_ = owner;
  // A setter may destroy components (and so shorten the list); walk a copy, checking each.
  const TStoredPropsList entries = list;
  for (const TStoredProp& entry : entries) {
    QString component;
    QString property;
    if (!settings::ParseStoredEntry(entry.Text, &component, &property)) continue;
    QObject* object = entry.Object;
    if (!object) continue;
    auto it = lookup.find(object);
    if (it == lookup.end()) continue;
    object_ = object;
    prefix_ = object->objectName() + u'_';
    const TPropInfo* info = it->second->Find(property);
    if (!info) continue;
    if (store) {
      StoreAnyProperty(*info);
    } else {
      LoadAnyProperty(*info);
    }
  }
}

void TPropsStorage::StoreObjectsProps(QObject* owner, TStoredPropsList& list) { RunList(owner, list, true); }

void TPropsStorage::LoadObjectsProps(QObject* owner, TStoredPropsList& list) { RunList(owner, list, false); }

}  // namespace vumo
