// Clean-up bound to a scope: a guard that runs an action when the scope
// ends, and owners that close a Win32 handle, a registry key or a socket.
//
//   TScopeGuard restore([&] { FBusy = was; });      // always
//   TScopeGuard undo([&] { RemoveFile(Name); });    // only on failure:
//   ...                                             //   undo.Dismiss() once
//   undo.Dismiss();                                 //   the work is done
//
//   THandleOwner file(CreateFileW(...));            // CloseHandle at scope end
//   if (!file.Valid()) ...;
//   ReadFile(file.Get(), ...);
//
// Actions and closes run from destructors: they must not raise. Include
// <windows.h> (and a WinSock header for TSocketOwner) before this header.
#pragma once
#include <utility>

template <class F>
class TScopeGuard {
public:
  explicit TScopeGuard(F Action) : FAction(std::move(Action)) {}
  ~TScopeGuard() noexcept {
    if (FActive) FAction();
  }
  TScopeGuard(const TScopeGuard&) = delete;
  TScopeGuard& operator=(const TScopeGuard&) = delete;
  // The action will not run.
  void Dismiss() { FActive = false; }

private:
  F FAction;
  bool FActive = true;
};
template <class F>
TScopeGuard(F) -> TScopeGuard<F>;

// Owns one value of Traits::Type and closes it when it goes (or is reset).
// Traits: Type, Invalid(), Valid(value), Close(value).
template <class Traits>
class TOwner {
public:
  using Type = typename Traits::Type;
  TOwner() = default;
  explicit TOwner(Type Value) : FValue(Value) {}
  ~TOwner() { Reset(); }
  TOwner(const TOwner&) = delete;
  TOwner& operator=(const TOwner&) = delete;
  TOwner(TOwner&& Other) noexcept : FValue(Other.Release()) {}
  TOwner& operator=(TOwner&& Other) noexcept {
    if (this != &Other) Reset(Other.Release());
    return *this;
  }

  Type Get() const { return FValue; }
  bool Valid() const { return Traits::Valid(FValue); }
  // Hands the value over; the owner closes nothing any more.
  Type Release() {
    Type v = FValue;
    FValue = Traits::Invalid();
    return v;
  }
  // Closes the value held and takes Value.
  void Reset(Type Value = Traits::Invalid()) {
    if (Traits::Valid(FValue)) Traits::Close(FValue);
    FValue = Value;
  }
  // Closes the value held and lends its slot to a call that fills it
  // (RegOpenKeyExW(..., key.Receive())).
  Type* Receive() {
    Reset();
    return &FValue;
  }

private:
  Type FValue = Traits::Invalid();
};

// The Win32 owners are there where <windows.h> (and for sockets a WinSock
// header) was included before this header: code without Win32 calls pulls
// in no system headers through it.
#if defined(_WINDOWS_)
struct THandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Type H) { return H != nullptr && H != INVALID_HANDLE_VALUE; }
  static void Close(Type H) { CloseHandle(H); }
};
using THandleOwner = TOwner<THandleTraits>;

struct TKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static bool Valid(Type K) { return K != nullptr; }
  static void Close(Type K) { RegCloseKey(K); }
};
using TKeyOwner = TOwner<TKeyTraits>;

// Sockets: available where a WinSock header was included first.
#if defined(_WINSOCKAPI_) || defined(_WINSOCK2API_)
struct TSocketTraits {
  using Type = SOCKET;
  static Type Invalid() { return INVALID_SOCKET; }
  static bool Valid(Type S) { return S != INVALID_SOCKET; }
  static void Close(Type S) { closesocket(S); }
};
using TSocketOwner = TOwner<TSocketTraits>;
#endif
#endif
