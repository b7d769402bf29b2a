// The windows arrive with the application shell; this unit keeps the library non-empty.
namespace {
[[maybe_unused]] const int kUiLibraryPlaceholder = 0;
}
