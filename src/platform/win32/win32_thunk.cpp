// The trampolines' machine code. On i686 the platform calls with stdcall, so the context is
// pushed beneath the return address and the five-argument stdcall target pops it along
// with the four arguments the caller pushed. On x86_64 the four arguments arrive in
// registers: the trampoline makes a frame of its own (shadow space and the fifth
// argument's slot, keeping the stack 16-byte aligned), shifts the arguments one place and
// calls the target with the context first. That frame is described to the system with
// unwind data registered for the trampoline's code, as a compiler would describe it, so
// that stack walks and exceptions pass through a window procedure.
#include "platform/win32/win32_thunk.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace nb::win32 {

namespace {

// The code first; on x86_64 its unwind data and function table entry follow in the same
// block, which the system reads for as long as the table is registered.
constexpr size_t thunkBytes = 128;

template <class T>
uint8_t* Put(uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
  return at + sizeof value;
}

uint8_t* PutBytes(uint8_t* at, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) *at++ = b;
  return at;
}

#if defined(_M_X64) || defined(__x86_64__)
constexpr uint8_t frameBytes = 0x38;
constexpr uint8_t prologBytes = 4;  // the sub rsp below
constexpr size_t unwindOffset = 48;  // past the 45 bytes of code, 4-byte aligned
constexpr size_t functionOffset = 64;

// UNWIND_INFO, version 1, no handler: one UWOP_ALLOC_SMALL of frameBytes at the end of the
// prologue (the code array is padded to an even count).
uint8_t* PutUnwindInfo(uint8_t* at) {
  constexpr uint8_t allocSmall = 2;
  return PutBytes(at, {0x01, prologBytes, 1, 0, prologBytes,
                       static_cast<uint8_t>(((frameBytes - 8) / 8) << 4 | allocSmall), 0, 0});
}
#endif

// Returns the length of the code written.
size_t Emit(uint8_t* code, void* context, ContextThunk::Target target) {
  uint8_t* at = code;
#if defined(_M_X64) || defined(__x86_64__)
  at = PutBytes(at, {0x48, 0x83, 0xEC, frameBytes});  // sub rsp, 0x38
  at = PutBytes(at, {0x4C, 0x89, 0x4C, 0x24, 0x20});  // mov [rsp+0x20], r9
  at = PutBytes(at, {0x4D, 0x89, 0xC1});              // mov r9, r8
  at = PutBytes(at, {0x49, 0x89, 0xD0});              // mov r8, rdx
  at = PutBytes(at, {0x48, 0x89, 0xCA});              // mov rdx, rcx
  at = PutBytes(at, {0x48, 0xB9});                    // mov rcx, context
  at = Put(at, reinterpret_cast<uint64_t>(context));
  at = PutBytes(at, {0x48, 0xB8});  // mov rax, target
  at = Put(at, reinterpret_cast<uint64_t>(target));
  at = PutBytes(at, {0xFF, 0xD0});                    // call rax
  at = PutBytes(at, {0x48, 0x83, 0xC4, frameBytes});  // add rsp, 0x38
  at = PutBytes(at, {0xC3});                          // ret
#else
  at = PutBytes(at, {0x58});  // pop eax (the return address)
  at = PutBytes(at, {0x68});  // push context
  at = Put(at, reinterpret_cast<uint32_t>(context));
  at = PutBytes(at, {0x50});  // push eax
  at = PutBytes(at, {0xB8});  // mov eax, target
  at = Put(at, reinterpret_cast<uint32_t>(target));
  at = PutBytes(at, {0xFF, 0xE0});  // jmp eax
#endif
  return static_cast<size_t>(at - code);
}

}  // namespace

ContextThunk* ContextThunk::Create(void* context, Target target) {
  void* code = VirtualAlloc(nullptr, thunkBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!code) return nullptr;
  uint8_t* bytes = static_cast<uint8_t*>(code);
  const size_t codeBytes = Emit(bytes, context, target);
#if defined(_M_X64) || defined(__x86_64__)
  PutUnwindInfo(bytes + unwindOffset);
  auto* function = reinterpret_cast<RUNTIME_FUNCTION*>(bytes + functionOffset);
  function->BeginAddress = 0;
  function->EndAddress = static_cast<DWORD>(codeBytes);
  function->UnwindData = static_cast<DWORD>(unwindOffset);
#else
  (void)codeBytes;
#endif
  DWORD previous = 0;
  if (!VirtualProtect(code, thunkBytes, PAGE_EXECUTE_READ, &previous)) {
    VirtualFree(code, 0, MEM_RELEASE);
    return nullptr;
  }
  FlushInstructionCache(GetCurrentProcess(), code, thunkBytes);
#if defined(_M_X64) || defined(__x86_64__)
  if (!RtlAddFunctionTable(function, 1, reinterpret_cast<DWORD64>(code))) {
    VirtualFree(code, 0, MEM_RELEASE);
    return nullptr;
  }
#endif
  return new ContextThunk(code);
}

ContextThunk::~ContextThunk() {
#if defined(_M_X64) || defined(__x86_64__)
  RtlDeleteFunctionTable(
      reinterpret_cast<RUNTIME_FUNCTION*>(static_cast<uint8_t*>(code_) + functionOffset));
#endif
  VirtualFree(code_, 0, MEM_RELEASE);
}

}  // namespace nb::win32
