#include "app/launch.h"

int main(int argc, char** argv) { velyn_ui::launch::run_or_exit(pdf_app::launch_descriptor(), argc, argv); }
