// Exports nothing the program looks for.
extern "C" int HushnoteUnrelatedFunction() {
    return 0;
}
