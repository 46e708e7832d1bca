#include "engine/files/InstallFileFixtures.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"

QNT_PUBLISH(TTestController);
QNT_PUBLISH(TRecordingPage);

TTestController::TTestController(TComponent* AOwner) : TFileContainer(AOwner) {
  MainInstall = this;
  MainInstallProductName = [] { return fixtures::Product(); };
}

TTestController::~TTestController() { MainInstallProductName = nullptr; }

void TRecordingPage::HandleExternalComponentCall(TInstallContainer*, int ComponentCall, TObject* PO) {
  if (ComponentCall == eccCopyingFile)
    if (auto* p = dynamic_cast<TFileStatusParameter*>(PO)) TotalPercents.push_back(p->TotalComplete);
  if (ComponentCall == eccDownloadingNetFile)
    if (auto* p = dynamic_cast<TDownloadStatusParameter*>(PO)) TotalPercents.push_back(p->TotalComplete);
  Calls.push_back(ComponentCallName(ComponentCall));
}

namespace fixtures {
std::string Product() {
  // Tests run side by side in one prefix: each writes a record of its own.
  const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
  return t ? std::string("Qnt-") + t->test_suite_name() + "-" + t->name() : "Qnt-files";
}
std::string RecordKey() { return UninstallKeyFor(Product()); }

void Pack(const std::string& Archive, const std::string& Dir, const std::vector<std::string>& Names) {
  QlntCompress->SetCompressedFile(Archive);
  QlntCompress->SetOffset(0);
  QlntCompress->SetOnStatus(nullptr);
  QlntCompress->SetOnAborted(nullptr);
  QlntCompress->FilesToProcess()->Clear();
  for (const auto& n : Names) QlntCompress->FilesToProcess()->Add(Dir + "\\" + n);
  QlntCompress->Add(lzcOverwrite);
}

std::string ReadBytes(const std::string& Path) {
  TFileStream f(Path, fmOpenRead | fmShareDenyNone);
  std::string s(static_cast<size_t>(f.Size()), '\0');
  if (!s.empty()) f.ReadBuffer(s.data(), static_cast<int64_t>(s.size()));
  return s;
}

void WriteBytes(const std::string& Path, const std::string& Bytes) {
  TFileStream f(Path, fmCreate);
  if (!Bytes.empty()) f.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

void SetFileDate(const std::string& Path, TDateTime D, double Days) {
  int32_t dos = DateTimeToFileDate(D + Days);
  FILETIME local{}, utc{};
  DosDateTimeToFileTime(static_cast<WORD>(dos >> 16), static_cast<WORD>(dos & 0xFFFF), &local);
  LocalFileTimeToFileTime(&local, &utc);
  HANDLE h = CreateFileW(Widen(Path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, nullptr, nullptr, &utc);
  CloseHandle(h);
}
}  // namespace fixtures
