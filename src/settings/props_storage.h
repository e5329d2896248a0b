// Named published properties of a window's components as text values under keys of one
// profile section, and back. The storage never touches a file: the caller supplies the
// reader, the writer and the section eraser.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

#include "settings/prop_info.h"

namespace vumo {

// One entry of a stored list: "Component.Property" and the component it resolved to.
struct TStoredProp {
  QString Text;
  QPointer<QObject> Object;
};
using TStoredPropsList = QList<TStoredProp>;

using TReadStrEvent = std::function<QString(const QString& section, const QString& key, const QString& defaultValue)>;
using TWriteStrEvent = std::function<void(const QString& section, const QString& key, const QString& value)>;
using TEraseSectEvent = std::function<void(const QString& section)>;

class TPropsStorage {
 public:
  TPropsStorage() = default;
  virtual ~TPropsStorage() = default;
  TPropsStorage(const TPropsStorage&) = delete;
  TPropsStorage& operator=(const TPropsStorage&) = delete;

  QObject* AObject() const { return object_; }
  void SetAObject(QObject* value) { object_ = value; }
  QObject* Owner() const { return owner_; }
  void SetOwner(QObject* value) { owner_ = value; }
  const QString& Prefix() const { return prefix_; }
  void SetPrefix(const QString& value) { prefix_ = value; }
  const QString& Section() const { return section_; }
  void SetSection(const QString& value) { section_ = value; }

  TReadStrEvent OnReadString;
  TWriteStrEvent OnWriteString;
  TEraseSectEvent OnEraseSection;

  // One property of the current object.
  void StoreAnyProperty(const TPropInfo& info);
  void LoadAnyProperty(const TPropInfo& info);
  // Every data property of the current object, in name order.
  void StoreProperties();
  void LoadProperties();
  // The stored list against its owner: resolved to the list first, then each entry in order.
  void StoreObjectsProps(QObject* owner, TStoredPropsList& list);
  void LoadObjectsProps(QObject* owner, TStoredPropsList& list);

 protected:
  virtual QString ReadText(const QString& section, const QString& key, const QString& defaultValue);
  virtual void WriteText(const QString& section, const QString& key, const QString& value);
  virtual void ClearSection(const QString& section);
  virtual QString KeyName(const QString& name);
  virtual std::unique_ptr<TPropsStorage> NewStorage();

 private:
  QString ValueText(const TPropInfo& info);
  void ApplyText(const TPropInfo& info, const QString& text);
  QString StoreObject(const TPropInfo& info);
  void LoadObject(const TPropInfo& info, const QString& text);
  std::unique_ptr<TPropsStorage> Nested(QObject* object, const QString& section, const QString& prefix);
  QString ComponentText(QObject* component) const;
  QObject* ComponentFromText(const QString& text) const;
  void RunList(QObject* owner, TStoredPropsList& list, bool store);

  QObject* object_ = nullptr;
  QObject* owner_ = nullptr;
  QString prefix_;
  QString section_;
};

namespace settings {

// Splits "Component.Property" at its first point; both sides trimmed and not empty.
bool ParseStoredEntry(const QString& entry, QString* component, QString* property);
// The owner's descendant of that object name, compared ignoring case.
QObject* FindComponent(QObject* owner, const QString& name);
// From the last entry to the first. From the owner: attach each entry's component, deleting
// entries that do not parse or name no component. To the list: rewrite each entry with its
// component's current name, deleting entries without one.
void UpdateStoredList(QObject* owner, TStoredPropsList& list, bool fromOwner);
// A count read from a file above this is damage, not data.
inline constexpr int kMaxStoredItems = 100000;
// Floats as the framework writes them: general format, "." as the separator.
QString FloatToText(double value, int precision);

}  // namespace settings
}  // namespace vumo
