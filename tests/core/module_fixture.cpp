// A module for the loader's test: its table is of version 3.
namespace {

struct TFixtureTable {
    int version;
    int (*answer)();
};

int Answer() {
    return 42;
}

constexpr TFixtureTable kTable{3, Answer};

}  // namespace

extern "C" __attribute__((visibility("default"))) const void* fixture_module() {
    return &kTable;
}
