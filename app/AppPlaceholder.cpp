// Placeholder so that bf_app has a source before the widgets land.
namespace bf::app {
int AppPlaceholder() { return 0; }
}  // namespace bf::app
