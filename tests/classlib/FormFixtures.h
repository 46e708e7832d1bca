// Test component classes that publish one property of every kind; shared by
// the form reader's tests and its fuzz target.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/TypInfo.h"

namespace fixture {

// What the fixtures' writers, Loaded and handlers did, in order.
extern std::vector<std::string> Log;

enum TShade { shRed, shGreen, shBlue };
enum TFlavor { flSweet, flSour, flBitter, flSalty };
extern const TEnumInfo ShadeInfo;
extern const TEnumInfo FlavorInfo;
extern const TIdentMap ColourIdents;

using TAskEvent = std::function<void(TObject* Sender, bool& Continue)>;

class TFixtureFont : public TPersistent {
  QNT_PUBLISHED(TFixtureFont, TPersistent)
public:
  std::string FaceName = "Arial";
  int Height = -12;
  int Colour = 0;
};

class TFixtureInfo : public TPersistent {
  QNT_PUBLISHED(TFixtureInfo, TPersistent)
public:
  ~TFixtureInfo() override { delete FFont; }
  const std::string& Product() const { return FProduct; }
  void SetProduct(const std::string& v);
  TFixtureFont* Font() const { return FFont; }
  class TFixtureItem* Buddy = nullptr;  // a reference inside a nested object

private:
  std::string FProduct;
  TFixtureFont* FFont = new TFixtureFont;
};

// A string list that records how the reader fills it.
class TLoggedStrings : public TStringList {
public:
  void Clear() override;
  int Add(const std::string& S) override;
};

class TFixtureItem : public TComponent {
  QNT_PUBLISHED(TFixtureItem, TComponent)
public:
  explicit TFixtureItem(TComponent* AOwner);
  ~TFixtureItem() override;

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& v);
  int16_t Count() const { return FCount; }
  // Refuses a negative count, except while loading (stored unchecked).
  void SetCount(int16_t v);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  TShade Shade() const { return FShade; }
  void SetShade(TShade v);
  unsigned Flavors() const { return FFlavors; }
  void SetFlavors(unsigned v);
  double Ratio() const { return FRatio; }
  void SetRatio(double v);
  TFixtureInfo* Info() const { return FInfo; }
  void SetInfo(TFixtureInfo* v);  // never called by the reader
  TLoggedStrings* Lines() const { return FLines; }
  TFixtureItem* Link() const { return FLink; }
  void SetLink(TFixtureItem* v);
  const std::string& Data() const { return FData; }
  void SetData(const std::string& v) { FData = v; }
  const TNotifyEvent& OnClick() const { return FOnClick; }
  void SetOnClick(const TNotifyEvent& v) { FOnClick = v; }
  const TAskEvent& OnAsk() const { return FOnAsk; }
  void SetOnAsk(const TAskEvent& v) { FOnAsk = v; }

  TComponent* ParentSeen = nullptr;
  int LoadedCalls = 0;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void SetParentComponent(TComponent* Value) override { ParentSeen = Value; }

private:
  std::string FCaption;
  int16_t FCount = 0;
  bool FEnabled = true;
  TShade FShade = shGreen;
  unsigned FFlavors = 1u << flSweet;
  double FRatio = 1.5;
  TFixtureInfo* FInfo = new TFixtureInfo;
  TLoggedStrings* FLines = new TLoggedStrings;
  TFixtureItem* FLink = nullptr;
  std::string FData;
  TNotifyEvent FOnClick;
  TAskEvent FOnAsk;
};

// A descendant: sees the ancestor's properties and adds one.
class TFixtureSpecial : public TFixtureItem {
  QNT_PUBLISHED(TFixtureSpecial, TFixtureItem)
public:
  using TFixtureItem::TFixtureItem;
  std::string Extra;
};

// Another class, for references of the wrong class.
class TFixtureOther : public TComponent {
  QNT_PUBLISHED(TFixtureOther, TComponent)
public:
  using TComponent::TComponent;
};

// The root: a module with two handlers.
class TFixtureModule : public TDataModule {
  QNT_PUBLISHED(TFixtureModule, TDataModule)
public:
  explicit TFixtureModule(TComponent* AOwner);
  void ItemClick(TObject* Sender);
  void ItemAsk(TObject* Sender, bool& Continue);
  void Loaded() override;
  using TDataModule::ReadResource;
};

}  // namespace fixture
