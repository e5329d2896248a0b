// Published properties of an object, described uniformly: Qt's meta-object system gives names
// and kinds for Q_PROPERTY and Q_ENUM; what Qt does not describe that way (a widget's width,
// an action's check mark, a widget's font) is added by hand through small adapters keyed by
// class and property name.
#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace vumo {

// The kinds of the framework's run-time type information; the storage rules depend on them.
enum TTypeKind {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod,
  tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray
};

class TCollection;

// One item of a collection: its Q_PROPERTYs are its data.
class TCollectionItem : public QObject {
  Q_OBJECT
 public:
  explicit TCollectionItem(TCollection* collection = nullptr);
  TCollection* Collection() const;
  int Index() const;
};

// A list of items of one class, owned by the collection.
class TCollection : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~TCollection() override;

  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Item(int index) const;
  TCollectionItem* Add();
  void Clear();
  void Delete(int index);
  int IndexOf(const TCollectionItem* item) const;
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

 protected:
  virtual TCollectionItem* NewItem() = 0;
  virtual void Update() {}

 private:
  friend class TCollectionItem;
  void Attach(TCollectionItem* item);
  QList<TCollectionItem*> items_;
  int updateCount_ = 0;
};

namespace settings {

// What a property of the object kind holds, which decides how it is kept.
enum class ObjectKind { kNone, kStrings, kCollection, kComponent, kPersistent };

}  // namespace settings

// One published property. Values cross Get and Set in one form per kind: integers, sets,
// enumerations and Booleans as qint64, characters and strings as QString, floats as double,
// variants as QVariant, string lists as QStringList, components as QObject*.
struct TPropInfo {
  QString Name;
  TTypeKind Kind = tkUnknown;
  settings::ObjectKind Object = settings::ObjectKind::kNone;
  int Precision = 15;                         // significant digits of a float
  QList<QPair<QString, qint64>> Names;        // enumeration names or set members, declared order
  std::function<QVariant(QObject*)> Get;
  std::function<void(QObject*, const QVariant&)> Set;  // throws when the value is refused
  // Nested objects (fonts, collections): borrow the object, and hand it back after a load.
  std::function<std::shared_ptr<QObject>(QObject*)> Acquire;
  std::function<void(QObject*, QObject*)> Commit;
};

// The data properties of one object, sorted by name ignoring case.
class TPropInfoList {
 public:
  explicit TPropInfoList(const QObject* object);
  int Count() const { return static_cast<int>(items_.size()); }
  const TPropInfo& operator[](int index) const { return items_[static_cast<std::size_t>(index)]; }
  const TPropInfo* Find(const QString& name) const;

 private:
  std::vector<TPropInfo> items_;
};

namespace settings {

// Adds a hand-made property to every object of the class (by its meta-object class name,
// "QWidget", "QAction", ...) and its descendants; a property declared lower in the hierarchy
// under the same name (ignoring case) wins over it.
void RegisterPropAdapter(const char* className, TPropInfo info);

// The value of an enumeration or set property held in a variant of its own type.
qint64 EnumVariantValue(const QVariant& value);

}  // namespace settings
}  // namespace vumo
