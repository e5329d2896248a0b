// A component that keeps, besides the window's placement, named properties of its
// components and values of its own in the profile file between runs. Like the placement it
// attaches to the window by itself; the window's code never calls it.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <vector>

#include "settings/form_placement.h"
#include "settings/prop_info.h"
#include "settings/props_storage.h"

namespace vumo {

inline constexpr const char* SDuplicateString = "String list does not allow duplicates";

class TFormStorage;

// A named value kept beside the properties, optionally scrambled with KeyString.
class TStoredValue : public TCollectionItem {
  Q_OBJECT
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(QVariant Value READ Value WRITE SetValue)
  Q_PROPERTY(QString KeyString READ KeyString WRITE SetKeyString)

 public:
  using TStoredValueEvent = std::function<void(TStoredValue* sender, QVariant& value)>;
  explicit TStoredValue(TCollection* collection = nullptr);

  QString Name() const { return name_; }
  void SetName(const QString& value);  // a name another item has fails
  QVariant Value() const { return value_; }
  void SetValue(const QVariant& value) { value_ = value; }
  QString KeyString() const { return keyString_; }
  void SetKeyString(const QString& value) { keyString_ = value; }

  TStoredValueEvent OnSave;
  TStoredValueEvent OnRestore;

 private:
  QString name_;
  QVariant value_;
  QString keyString_;
};

class TStoredValues : public TCollection {
  Q_OBJECT
 public:
  using TCollection::TCollection;
  TStoredValue* Items(int index) const { return static_cast<TStoredValue*>(Item(index)); }
  TStoredValue* AddValue(const QString& name, const QVariant& value = QVariant());
  int IndexOf(const QString& name) const;
  TStoredValue* StoredValue(const QString& name) const;

 protected:
  TCollectionItem* NewItem() override { return new TStoredValue(); }
};

class TFormStorage : public TFormPlacement {
  Q_OBJECT
  Q_PROPERTY(QStringList StoredProps READ StoredProps WRITE SetStoredProps)

 public:
  explicit TFormStorage(QWidget* window);
  ~TFormStorage() override;

  // The usual set-up in one call: file, section and "Component.Property" entries.
  static TFormStorage* Attach(QWidget* window, const QString& iniFileName, const QString& iniSection,
                              const QStringList& storedProps);

  QStringList StoredProps() const;
  void SetStoredProps(const QStringList& value);
  TStoredValues* StoredValues() const { return storedValues_; }

  // Text scrambling of stored values: each byte XOR the key byte, as two hex digits.
  static QString XorEncode(const QString& key, const QString& text);
  static QString XorDecode(const QString& key, const QString& text);

  // Resolves the stored list against the window (done by itself before the first run).
  void Loaded() override;

 protected:
  void WritePlacement() override;
  void ReadPlacement() override;
  virtual void WriteProperties();
  virtual void ReadProperties();

 private:
  void SaveStoredValues();
  void RestoreStoredValues();
  void Track();
  void Forget(QObject* component);

  TStoredPropsList storedProps_;
  TStoredValues* storedValues_;
  std::vector<QMetaObject::Connection> tracked_;
  bool tearingDown_ = false;
};

}  // namespace vumo
