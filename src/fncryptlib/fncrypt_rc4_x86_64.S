// RC4 over whole blocks of 16 steps, for x86-64, on the 32-bit copy of the
// permutation (Rc4::s32). Hand-scheduled because the compiler's version of
// the same loop lost to OpenSSL's: the next S[i] is loaded before this step's
// swap, so the chain from one j to the next is a single add; when the swap
// did write S[i+1] (j == i+1, one step in 256) a branch the processor
// predicts right the other 255 times patches the early load.
//
// uint32_t HushnoteRc4Blocks(uint32_t* s, const uint8_t* in, uint8_t* out,
//                            size_t blocks, uint32_t i0, uint32_t j)
// i0 is the index of the first step's S[i], a multiple of 16 (so that no
// block wraps around the table before its last early load); returns j.
//
// %rdi s, %rsi in, %rdx out, %rcx blocks left, %r8 i0, %r9 j (written as a
// byte only, so it wraps by itself and its upper bits stay 0), %r10 &s[i0],
// %r11 (i0 + 16) & 255, %rax 8 keystream bytes, %r12 S[j] then the keystream
// index, %r13 i + 1, %r14 and %r15 this step's S[i] and the next one's by
// turns.

// Step k of the block; S[i] is in \si, the next S[i] is loaded into \next.
.macro RC4_STEP k, si, si32, si8, next32
    addb \si8, %r9b
  .if \k < 15
    movl (4*(\k+1))(%r10), \next32
  .else
    movl (%rdi,%r11,4), \next32
  .endif
    movl (%rdi,%r9,4), %r12d
    movl %r12d, (4*\k)(%r10)
    movl \si32, (%rdi,%r9,4)
  .if \k < 15
    lea (\k+1)(%r8), %r13
    cmp %r13, %r9
  .else
    cmp %r11, %r9
  .endif
    je 9f
8:
    // S[i] + S[j] wraps within the low byte: both are below 256.
    addb \si8, %r12b
  .if \k % 8 == 0
    movl (%rdi,%r12,4), %eax
  .else
    movl (%rdi,%r12,4), %r12d
    shl $(8*(\k%8)), %r12
    or %r12, %rax
  .endif
  .if \k % 8 == 7
    xor (8*(\k/8))(%rsi), %rax
    mov %rax, (8*(\k/8))(%rdx)
  .endif
    .pushsection .text.unlikely
9:  mov \si32, \next32
    jmp 8b
    .popsection
.endm

    .text
    .globl HushnoteRc4Blocks
    .hidden HushnoteRc4Blocks
    .type HushnoteRc4Blocks, @function
    .p2align 5
HushnoteRc4Blocks:
    push %r12
    push %r13
    push %r14
    push %r15
    mov %r9d, %r9d
    mov %r8d, %r8d
    test %rcx, %rcx
    jz 2f
    movl (%rdi,%r8,4), %r14d
    .p2align 4
1:
    lea (%rdi,%r8,4), %r10
    lea 16(%r8), %r11d
    movzbl %r11b, %r11d
    .irp k, 0, 2, 4, 6, 8, 10, 12, 14
    RC4_STEP \k, %r14, %r14d, %r14b, %r15d
    RC4_STEP (\k+1), %r15, %r15d, %r15b, %r14d
    .endr
    add $16, %rsi
    add $16, %rdx
    mov %r11, %r8
    dec %rcx
    jnz 1b
2:
    mov %r9d, %eax
    pop %r15
    pop %r14
    pop %r13
    pop %r12
    ret
    .size HushnoteRc4Blocks, .-HushnoteRc4Blocks

    .section .note.GNU-stack, "", @progbits
