#include "engine/cmp_TProgramManager.h"

#include "classlib/Units.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/translator/cmp_TTranslator.h"

TProgramManager* ProgramManager = nullptr;

namespace progman {

namespace {
// A text that goes into a format string as itself.
std::string Literal(const std::string& S) { return StringReplaceAll(S, "%", "%%"); }

// A translated format that does not fit its arguments falls back to the English one.
std::string Formatted(const std::string& English, const TVarRecs& Args) {
  try {
    return Format(TSE(English), Args);
  } catch (const EConvertError&) {
    return Format(English, Args);
  }
}
}  // namespace

EAIPMError::EAIPMError() : EAI(TSE("The TProgramManager object was unable to communicate with Program Manager")) {}

EAIPMCannotOpen::EAIPMCannotOpen()
    : EAIPMError(TSE("The TProgramManager object was unable to establish a link with Program Manager")) {}

EAIPMCannotOpenGroup::EAIPMCannotOpenGroup(const std::string& AGroup)
    : EAIPMError(Formatted("The TProgramManager object was unable to open the following program group: %s", {AGroup})),
      Group(AGroup) {}

EAIPMCannotCreateGroup::EAIPMCannotCreateGroup(const std::string& AGroup)
    : EAIPMError(
          Formatted("The TProgramManager object was unable to create the following program group: %s", {AGroup})),
      Group(AGroup) {}

EAIPMCannotAddItem::EAIPMCannotAddItem(const std::string& AGroup, const std::string& ADescription,
                                       const std::string& AArguments)
    : EAIPMError(Formatted("The TProgramManager object was unable to add the following program item: " +
                               Literal(ADescription) +
                               " to the following group: %s. The arguments passed to  Program Manager were: %s",
                           {AGroup, AArguments})),
      Group(AGroup),
      Description(ADescription),
      Arguments(AArguments) {}

EAIPMCannotReplaceItem::EAIPMCannotReplaceItem(const std::string& AGroup, const std::string& ADescription)
    : EAIPMError(Formatted("The TProgramManager object was unable to replace the following program item: %s"
                           " to the following group: %s",
                           {ADescription, AGroup})),
      Group(AGroup),
      Description(ADescription) {}

}  // namespace progman

namespace {
// Program Manager's command buffer holds 255 characters and the zero.
constexpr size_t MaxCommand = 255;

// Characters that end a name or an argument inside a command: Program
// Manager's parser has no escape for them.
bool BreaksCommand(const std::string& Name) { return Name.find_first_of(",()[]\"") != std::string::npos; }

std::string Quoted(const std::string& S) { return "\"" + S + "\""; }

std::string Unquote(std::string S) {
  if (S.size() > 1 && S.front() == '"') S.erase(0, 1);
  if (!S.empty() && S.back() == '"') S.pop_back();
  return S;
}
}  // namespace

TProgramManager::TProgramManager(TComponent* AOwner) : TComponent(AOwner), FConv(new TDdeClientConv(nullptr)) {}

TProgramManager::~TProgramManager() {
  if (FLinkOpen) FConv->CloseLink();
  delete FConv;
}

void TProgramManager::EstablishLinks() {
  if (FLinkOpen) return;
  FConv->SetConnectMode(ddeManual);
  FConv->SetLink(Service, Topic);
  FLinkOpen = FConv->OpenLink();
  if (!FLinkOpen) throw EAIPMCannotOpen();
}

void TProgramManager::SetCurrentGroup(const std::string& Value) {
  EstablishLinks();
  FCurrentGroup.clear();
  FGroupInfo.Clear();
  std::string data;
  if (!FConv->RequestData(Value, data)) return;
  FGroupInfo.SetText(data);
  FCurrentGroup = Value;
}

template <class E>
void TProgramManager::Execute(const std::string& Command, const E& Refusal) {
  if (Utf8ToAnsi(Command).size() > MaxCommand || !FConv->ExecuteMacro(Command)) throw Refusal;
}

void TProgramManager::CreateGroup(const std::string& GroupName) {
  EstablishLinks();
  if (Trim(GroupName).empty()) return;
  EAIPMCannotCreateGroup refusal(GroupName);
  if (BreaksCommand(GroupName)) throw refusal;
  Execute("[CreateGroup(" + Quoted(GroupName) + ")]", refusal);
  SetCurrentGroup(GroupName);
  // A server that gives no data for the group it has just made (Wine's does
  // not) still has it: the items that follow go there.
  if (FCurrentGroup.empty()) FCurrentGroup = GroupName;
}

void TProgramManager::AddItem(const std::string& CommandLine, const std::string& Description,
                              const std::string& IconFile, int IconIndex, const std::string& Directory,
                              const std::string& ShortCut) {
  EstablishLinks();
  if (FCurrentGroup.empty()) return;
  const std::string command = "[AddItem(" + CommandLine + "," + Description + "," + IconFile + "," +
                              IntToStr(IconIndex) + "," + ",," + Directory + "," + ShortCut + ")]";
  EAIPMCannotAddItem refusal(FCurrentGroup, Description, command);
  EAIPMCannotOpenGroup groupRefusal(FCurrentGroup);
  if (BreaksCommand(FCurrentGroup)) throw groupRefusal;
  if (BreaksCommand(Description)) throw refusal;
  Execute("[ShowGroup(" + FCurrentGroup + ",8)]", groupRefusal);
  Execute(command, refusal);
  SetCurrentGroupKeeping();
}

void TProgramManager::ReplaceItem(const std::string& ItemName) {
  EstablishLinks();
  if (FCurrentGroup.empty()) return;
  EAIPMCannotReplaceItem refusal(FCurrentGroup, ItemName);
  EAIPMCannotOpenGroup groupRefusal(FCurrentGroup);
  if (BreaksCommand(FCurrentGroup)) throw groupRefusal;
  if (BreaksCommand(ItemName)) throw refusal;
  Execute("[ShowGroup(" + FCurrentGroup + ",8)]", groupRefusal);
  Execute("[ReplaceItem(" + Quoted(ItemName) + ")]", refusal);
  SetCurrentGroupKeeping();
}

void TProgramManager::SetCurrentGroupKeeping() {
  // The group stays current after its own command even when the server
  // gives no data for it.
  const std::string group = FCurrentGroup;
  SetCurrentGroup(group);
  if (FCurrentGroup.empty()) FCurrentGroup = group;
}

void TProgramManager::GetWindowGroups(TStrings* Value) {
  EstablishLinks();
  std::string data;
  FConv->RequestData("Groups", data);
  Value->SetText(data);
}

int TProgramManager::ItemCount() const { return FGroupInfo.Count() >= 2 ? FGroupInfo.Count() - 1 : 0; }

std::string TProgramManager::Field(int I, int N, int Passes) const {
  if (I <= 0 || I > FGroupInfo.Count() - 1) return {};
  std::string f = srExtract(FGroupInfo.Get(I), N, ',');
  for (int k = 0; k < Passes; ++k) f = Unquote(f);
  return f;
}

int TProgramManager::ItemIndexOf(const std::string& ItemName) {
  EstablishLinks();
  for (int i = 1; i <= ItemCount(); ++i)
    if (Description(i) == ItemName) return i;
  return -1;
}

namespace {
void InitProgramManager() { ProgramManager = new TProgramManager(nullptr); }
void FinProgramManager() {
  delete ProgramManager;
  ProgramManager = nullptr;
}
TUnitRegistration registration(ulEngine, "cmp_TProgramManager", InitProgramManager, FinProgramManager);
}  // namespace
