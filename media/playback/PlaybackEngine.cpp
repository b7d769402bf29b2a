// The playback engine arrives with the engine work; this unit keeps the library non-empty.
namespace {
[[maybe_unused]] const int kMediaLibraryPlaceholder = 0;
}
