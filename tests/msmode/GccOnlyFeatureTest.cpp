// A GCC-only construct the Microsoft-mode check must refuse: the CPU feature test through libgcc's builtins,
// as the conversion dispatch once had it for every compiler.
bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
