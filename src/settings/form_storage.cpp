#include "settings/form_storage.h"

namespace vumo {

namespace {

bool IsHexDigit(QChar c) {
  char16_t u = c.unicode();
  return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

}  // namespace

// Stored values.

TStoredValue::TStoredValue(TCollection* collection) : TCollectionItem(collection) {}

void TStoredValue::SetName(const QString& value) {
  if (!value.isEmpty() && value.compare(name_, Qt::CaseInsensitive) != 0) {
    if (auto* values = qobject_cast<TStoredValues*>(Collection()); values && values->IndexOf(value) >= 0) {
      throw Exception(SDuplicateString);
    }
  }
  name_ = value;
}

TStoredValue* TStoredValues::AddValue(const QString& name, const QVariant& value) {
  auto* item = static_cast<TStoredValue*>(Add());
  try {
    item->SetName(name);
  } catch (...) {
    Delete(Count() - 1);
    throw;
  }
  item->SetValue(value);
  return item;
}

int TStoredValues::IndexOf(const QString& name) const {
  for (int i = 0; i < Count(); ++i) {
    if (Items(i)->Name().compare(name, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

TStoredValue* TStoredValues::StoredValue(const QString& name) const {
  int index = IndexOf(name);
  return index < 0 ? nullptr : Items(index);
}

// Form storage.

TFormStorage::TFormStorage(QWidget* window) : TFormPlacement(window), storedValues_(new TStoredValues(this)) {}

TFormStorage::~TFormStorage() {
  tearingDown_ = true;
  for (const QMetaObject::Connection& connection : tracked_) disconnect(connection);
}

TFormStorage* TFormStorage::Attach(QWidget* window, const QString& iniFileName, const QString& iniSection,
                                   const QStringList& storedProps) {
  auto* storage = new TFormStorage(window);
  storage->SetIniFileName(iniFileName);
  storage->SetIniSection(iniSection);
  storage->SetStoredProps(storedProps);
  return storage;
}

QStringList TFormStorage::StoredProps() const {
  QStringList texts;
  for (const TStoredProp& entry : storedProps_) texts << entry.Text;
  return texts;
}

void TFormStorage::SetStoredProps(const QStringList& value) {
  storedProps_.clear();
  for (const QString& text : value) storedProps_.append({text, nullptr});
  if (loaded_) Loaded();
}

void TFormStorage::Loaded() {
  loaded_ = true;
  settings::UpdateStoredList(Window(), storedProps_, true);
  Track();
}

void TFormStorage::Track() {
  for (const QMetaObject::Connection& connection : tracked_) disconnect(connection);
  tracked_.clear();
  QList<QObject*> components;
  for (const TStoredProp& entry : storedProps_) {
    if (entry.Object && !components.contains(entry.Object.data())) components << entry.Object.data();
  }
  for (QObject* component : components) {
    tracked_.push_back(connect(component, &QObject::destroyed, this, [this](QObject* gone) { Forget(gone); }));
  }
}

void TFormStorage::Forget(QObject* component) {
  if (tearingDown_) return;
  // Plain objects clear their guards before announcing their end, widgets after.
  storedProps_.removeIf(
      [component](const TStoredProp& entry) { return entry.Object.isNull() || entry.Object.data() == component; });
}

void TFormStorage::WritePlacement() {
  WritePlacementPart();
  WriteProperties();
  SaveStoredValues();
}

void TFormStorage::ReadPlacement() {
  ReadPlacementPart();
  restored_ = true;
  try {
    ReadProperties();
  } catch (...) {
    // One unreadable property must not cost the others; each is guarded already.
  }
  RestoreStoredValues();
}

void TFormStorage::WriteProperties() {
  TPropsStorage storage;
  storage.SetSection(SectionName());
  storage.OnReadString = [this](const QString& section, const QString& key, const QString& defaultValue) {
    return ReadIniString(section, key, defaultValue);
  };
  storage.OnWriteString = [this](const QString& section, const QString& key, const QString& value) {
    WriteIniString(section, key, value);
  };
  storage.OnEraseSection = [this](const QString& section) { EraseSection(section); };
  storage.StoreObjectsProps(Window(), storedProps_);
}

void TFormStorage::ReadProperties() {
  TPropsStorage storage;
  storage.SetSection(SectionName());
  storage.OnReadString = [this](const QString& section, const QString& key, const QString& defaultValue) {
    return ReadIniString(section, key, defaultValue);
  };
  storage.LoadObjectsProps(Window(), storedProps_);
}

void TFormStorage::SaveStoredValues() {
  for (int i = 0; i < storedValues_->Count(); ++i) {
    TStoredValue* item = storedValues_->Items(i);
    QVariant value = item->Value();
    if (item->OnSave) item->OnSave(item, value);
    QString text = value.toString();
    if (!item->KeyString().isEmpty()) text = XorEncode(item->KeyString(), text);
    WriteString(item->Name(), text);
  }
}

void TFormStorage::RestoreStoredValues() {
  for (int i = 0; i < storedValues_->Count(); ++i) {
    TStoredValue* item = storedValues_->Items(i);
    QString defaultText = item->Value().toString();
    if (!item->KeyString().isEmpty()) defaultText = XorEncode(item->KeyString(), defaultText);
    QString text = ReadString(item->Name(), defaultText);
    if (!item->KeyString().isEmpty()) text = XorDecode(item->KeyString(), text);
    QVariant value(text);
    if (item->OnRestore) item->OnRestore(item, value);
    item->SetValue(value);
  }
}

QString TFormStorage::XorEncode(const QString& key, const QString& text) {
  QByteArray keyBytes = key.toUtf8();
  if (keyBytes.isEmpty()) return text;
  QByteArray bytes = text.toUtf8();
  QString out;
  out.reserve(bytes.size() * 2);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    auto b = static_cast<quint8>(bytes[i] ^ keyBytes[i % keyBytes.size()]);
    out += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
  }
  return out;
}

QString TFormStorage::XorDecode(const QString& key, const QString& text) {
  QByteArray keyBytes = key.toUtf8();
  if (keyBytes.isEmpty()) return text;
  QByteArray bytes;
  bytes.reserve(text.size() / 2);
  for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
    int value = 32;  // a pair that is not hexadecimal stands for a blank
    if (IsHexDigit(text[i]) && IsHexDigit(text[i + 1])) value = text.mid(i, 2).toInt(nullptr, 16);
    bytes += static_cast<char>(value ^ static_cast<quint8>(keyBytes[(i / 2) % keyBytes.size()]));
  }
  return QString::fromUtf8(bytes);
}

}  // namespace vumo
