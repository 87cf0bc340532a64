// Placeholder translation unit so that bf_sim exists before the simulated camera lands.
namespace bf::sim {
int SimPlaceholder() { return 0; }
}  // namespace bf::sim
