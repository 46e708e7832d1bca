#include "classlib/FormFixtures.h"

namespace fixture {

std::vector<std::string> Log;

const TEnumInfo ShadeInfo{"TShade", {"shRed", "shGreen", "shBlue"}};
const TEnumInfo FlavorInfo{"TFlavor", {"flSweet", "flSour", "flBitter", "flSalty"}};
const TIdentMap ColourIdents{{{"clBlack", 0}, {"clWindowText", -2147483640LL}}};

namespace {
std::string Loading(const TComponent* c) { return c->HasState(csLoading) ? " (loading)" : ""; }
}  // namespace

QNT_PUBLISH(TFixtureFont,
  Prop::String("Name", &TFixtureFont::FaceName, &TFixtureFont::FaceName, "Arial"),
  Prop::Integer("Height", &TFixtureFont::Height, &TFixtureFont::Height, -12),
  Prop::Integer("Color", &TFixtureFont::Colour, &TFixtureFont::Colour, 0, &ColourIdents));

QNT_PUBLISH(TFixtureInfo,
  Prop::String("Product", &TFixtureInfo::Product, &TFixtureInfo::SetProduct, ""),
  Prop::Object("Font", &TFixtureInfo::Font),
  Prop::Component("Buddy", &TFixtureInfo::Buddy, &TFixtureInfo::Buddy));

void TFixtureInfo::SetProduct(const std::string& v) {
  Log.push_back("Product=" + v);
  FProduct = v;
}

void TLoggedStrings::Clear() {
  Log.push_back("Lines.Clear");
  TStringList::Clear();
}

int TLoggedStrings::Add(const std::string& S) {
  Log.push_back("Lines.Add " + S);
  return TStringList::Add(S);
}

QNT_PUBLISH(TFixtureItem,
  Prop::String("Caption", &TFixtureItem::Caption, &TFixtureItem::SetCaption, ""),
  Prop::Integer("Count", &TFixtureItem::Count, &TFixtureItem::SetCount, 0),
  Prop::Boolean("Enabled", &TFixtureItem::Enabled, &TFixtureItem::SetEnabled, true),
  Prop::Enum("Shade", &TFixtureItem::Shade, &TFixtureItem::SetShade, ShadeInfo, shGreen),
  Prop::Set("Flavors", &TFixtureItem::Flavors, &TFixtureItem::SetFlavors, FlavorInfo, 1u << flSweet),
  Prop::Float("Ratio", &TFixtureItem::Ratio, &TFixtureItem::SetRatio, 1.5),
  Prop::Object("Info", &TFixtureItem::Info),
  Prop::Strings("Lines", &TFixtureItem::Lines),
  Prop::Component("Link", &TFixtureItem::Link, &TFixtureItem::SetLink),
  Prop::Binary("Data", &TFixtureItem::Data, &TFixtureItem::SetData),
  Prop::Event("OnClick", &TFixtureItem::OnClick, &TFixtureItem::SetOnClick),
  Prop::Event("OnAsk", &TFixtureItem::OnAsk, &TFixtureItem::SetOnAsk));

TFixtureItem::TFixtureItem(TComponent* AOwner) : TComponent(AOwner) { Log.push_back("create"); }

TFixtureItem::~TFixtureItem() {
  delete FInfo;
  delete FLines;
}

void TFixtureItem::SetCaption(const std::string& v) {
  Log.push_back(Name() + ".Caption=" + v + Loading(this));
  FCaption = v;
}

void TFixtureItem::SetCount(int16_t v) {
  if (v < 0 && !HasState(csLoading)) throw Exception("Count may not be negative");
  FCount = v;
}

void TFixtureItem::SetEnabled(bool v) { FEnabled = v; }
void TFixtureItem::SetShade(TShade v) { FShade = v; }
void TFixtureItem::SetFlavors(unsigned v) { FFlavors = v; }
void TFixtureItem::SetRatio(double v) { FRatio = v; }

void TFixtureItem::SetInfo(TFixtureInfo*) { Log.push_back("SetInfo"); }

void TFixtureItem::SetLink(TFixtureItem* v) {
  Log.push_back(Name() + ".Link=" + (v ? v->Name() : std::string("nil")) + Loading(this));
  FLink = v;
  if (v) FreeNotification(v);
}

void TFixtureItem::Loaded() {
  ++LoadedCalls;
  Log.push_back(Name() + ".Loaded" + (HasState(csReading) ? " (reading)" : ""));
  TComponent::Loaded();
  // Lets a test free another loaded component before its Loaded.
  if (FCaption == "FreeLink") delete FLink;
}

void TFixtureItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FLink) FLink = nullptr;
}

QNT_PUBLISH(TFixtureSpecial, Prop::String("Extra", &TFixtureSpecial::Extra, &TFixtureSpecial::Extra));
QNT_PUBLISH(TFixtureOther);
QNT_PUBLISH(TFixtureModule);

TFixtureModule::TFixtureModule(TComponent* AOwner) : TDataModule(AOwner) {
  RegisterHandler("ItemClick", this, &TFixtureModule::ItemClick);
  RegisterHandler("ItemAsk", this, &TFixtureModule::ItemAsk);
}

void TFixtureModule::ItemClick(TObject* Sender) {
  Log.push_back("ItemClick " + static_cast<TComponent*>(Sender)->Name());
}

void TFixtureModule::ItemAsk(TObject*, bool& Continue) {
  Log.push_back("ItemAsk");
  Continue = false;
}

void TFixtureModule::Loaded() {
  Log.push_back(Name() + ".Loaded");
  TDataModule::Loaded();
}

}  // namespace fixture
