# The report benchmark runs the line report's core and names failures as the subcommands do.
target_link_libraries(report_bench PRIVATE line_report command_line)
