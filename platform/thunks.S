/* The 41 late-bound system functions: for each, its BindingSlot (the
 * __imp__ pointer through which every call goes, defined here so that the
 * import libraries are never asked for it), a plain entry point that jumps
 * through the slot, its BindingThunk (entered on the first call: it has the
 * binding resolved, then continues into the bound function with the caller's
 * arguments and return address untouched), its OverrideEntry and its
 * FailureStub. The records are gathered in BindingThunks[]. */

        .macro RECORD name, bytes, module
        .section .rdata
.Lname_\name: .asciz "\name"
        .balign 4
.Lrecord_\name:
        .long \module, .Lname_\name, __imp__\name\()@\bytes, .Loverride_\name, .Lstub_\name, .Lthunk_\name
        .section .rdata$ornaxbind_b,"dr"
        .long .Lrecord_\name
        .data
        .balign 4
        .globl __imp__\name\()@\bytes
__imp__\name\()@\bytes: .long .Lthunk_\name
.Loverride_\name: .long 0
        .text
        .globl _\name\()@\bytes
_\name\()@\bytes:
        jmp *__imp__\name\()@\bytes
.Lthunk_\name:
        /* A caller that kept the thunk's address from before the binding
         * comes here again: then the slot already holds the function. */
        cmpl $.Lthunk_\name, __imp__\name\()@\bytes
        jne 1f
        pushl $.Lrecord_\name
        call _BindingThunkEnter
        addl $4, %esp
1:      jmp *__imp__\name\()@\bytes
        .endm

/* Fails with 0 (or all ones) and ERROR_CALL_NOT_IMPLEMENTED. */
        .macro ZERO name, bytes, module, result=0
        RECORD \name, \bytes, \module
.Lstub_\name:
        pushl $120
        call *__imp__SetLastError@4
        movl $\result, %eax
        ret $\bytes
        .endm

/* Returns ERROR_CALL_NOT_IMPLEMENTED as the function's result. */
        .macro CODE name, bytes, module
        RECORD \name, \bytes, \module
.Lstub_\name:
        movl $120, %eax
        ret $\bytes
        .endm

/* The system module's own function of that name, looked up at each call;
 * without it ERROR_PROC_NOT_FOUND and 0. */
        .macro OWN name, bytes, module
        RECORD \name, \bytes, \module
.Lstub_\name:
        pushl $.Lrecord_\name
        call _BindingSystemOwn
        addl $4, %esp
        testl %eax, %eax
        jz 2f
        jmp *%eax
2:      pushl $127
        call *__imp__SetLastError@4
        xorl %eax, %eax
        ret $\bytes
        .endm

        .section .rdata
.Lkernel32: .asciz "kernel32.dll"
.Luser32: .asciz "user32.dll"
.Ladvapi32: .asciz "advapi32.dll"
.Lshell32: .asciz "shell32.dll"
.Lversion: .asciz "version.dll"

        .section .rdata$ornaxbind_a,"dr"
        .balign 4
        .globl _BindingThunks
_BindingThunks:

        ZERO CreateFileW, 28, .Lkernel32, -1
        ZERO FreeEnvironmentStringsW, 4, .Lkernel32
        OWN GetCPInfo, 8, .Lkernel32
        ZERO GetEnvironmentStringsW, 0, .Lkernel32
        ZERO GetModuleFileNameW, 12, .Lkernel32
        RECORD GetProcAddress, 8, .Lkernel32
.Lstub_GetProcAddress:
        jmp _FindExport@8
        ZERO GetStartupInfoW, 4, .Lkernel32
        ZERO GetStringTypeW, 16, .Lkernel32
        ZERO GetVersionExW, 4, .Lkernel32
        ZERO LCMapStringW, 24, .Lkernel32
        ZERO LoadLibraryW, 4, .Lkernel32
        OWN MultiByteToWideChar, 24, .Lkernel32
        ZERO OutputDebugStringW, 4, .Lkernel32
        OWN WideCharToMultiByte, 32, .Lkernel32
        ZERO CreateWindowExW, 48, .Luser32
        ZERO DefWindowProcW, 16, .Luser32
        ZERO DialogBoxParamW, 20, .Luser32
        ZERO DispatchMessageW, 4, .Luser32
        OWN EnableWindow, 8, .Luser32
        ZERO FindWindowW, 8, .Luser32
        ZERO GetMessageW, 16, .Luser32
        ZERO LoadAcceleratorsW, 8, .Luser32
        ZERO LoadCursorW, 8, .Luser32
        ZERO LoadIconW, 8, .Luser32
        ZERO LoadMenuW, 8, .Luser32
        ZERO LoadStringW, 16, .Luser32
        ZERO PostMessageW, 16, .Luser32
        ZERO RegisterClassExW, 4, .Luser32
        ZERO SendMessageW, 16, .Luser32
        ZERO SetWindowTextW, 8, .Luser32
        ZERO TranslateAcceleratorW, 12, .Luser32
        CODE RegCreateKeyExW, 36, .Ladvapi32
        CODE RegEnumKeyW, 16, .Ladvapi32
        CODE RegOpenKeyExW, 20, .Ladvapi32
        CODE RegOpenKeyW, 12, .Ladvapi32
        CODE RegQueryValueExW, 24, .Ladvapi32
        CODE RegSetValueExW, 24, .Ladvapi32
        ZERO Shell_NotifyIconW, 8, .Lshell32
        ZERO GetFileVersionInfoSizeW, 8, .Lversion
        ZERO GetFileVersionInfoW, 16, .Lversion
        ZERO VerQueryValueW, 16, .Lversion

        .section .rdata$ornaxbind_c,"dr"
        .globl _BindingThunksEnd
_BindingThunksEnd:
