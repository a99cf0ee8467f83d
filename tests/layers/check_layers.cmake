# The layering rules, checked on the sources: every #include "..." of a product folder names a
# header of a folder it may include, and the drive's wire talk and the trace's redirection stay
# where they belong. Run as: cmake -DSOURCE_DIR=<top> -P check_layers.cmake
cmake_minimum_required(VERSION 3.18)

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

# Who may include whom. A folder not listed here (tests, bench, tools) may include anything.
set(may_include_files files)
# Text made safe for a terminal: Qt Core only, below everything that prints.
set(may_include_terminal_text terminal_text)
set(may_include_d2xx d2xx files)
# The simulated axis shares the tuning assistant's friction speed, its one plain-C++ leaf.
set(may_include_drive_sim drive_sim d2xx files tuning)
set(may_include_drive_link drive_link d2xx)
set(may_include_startup startup drive_link d2xx drive_sim files terminal_text)
# The workflows: no window, no dialog, no widget of ours (and no Qt Widgets header, below).
set(may_include_config_tool config_tool tuning drive_link files)
set(may_include_flasher flasher drive_link files)
# What both programs' subcommands share knows neither program's workflows; each program's
# subcommands sit above it in a folder of their own.
set(may_include_command_line command_line line_report startup drive_link d2xx files terminal_text)
set(may_include_command_line_morvane command_line_morvane command_line line_report startup drive_link
    config_tool tuning files terminal_text)
set(may_include_command_line_tressel command_line_tressel command_line line_report startup drive_link
    flasher files terminal_text)
set(may_include_command_line_link_test command_line_link_test command_line startup drive_link flasher
    files terminal_text)
# The station's job and tiles sit on the command line's run records, and each tile runs what
# `tressel flash --unit` and `morvane restore` run: both programs' subcommands, through the entry
# points they export for front ends that work units (flashImageFile, restoreSettingsFile).
set(may_include_station station command_line command_line_tressel command_line_morvane flasher
    config_tool drive_link d2xx files terminal_text)
# The line report reads logs and draws pages: nothing of ours but itself, the escaping of the
# fields it prints, and Qt Core.
set(may_include_line_report line_report terminal_text)
# The front ends with widgets, above the workflows they show.
set(may_include_gui_common gui_common drive_link files)
set(may_include_gui_response gui_response gui_common config_tool tuning drive_link files)
set(may_include_gui_morvane gui_morvane gui_response gui_common config_tool tuning drive_link files)
set(may_include_gui_tressel gui_tressel gui_common flasher drive_link files)
# The station's window: its tiles over the workers, the line report's figures for the strip.
set(may_include_gui_station gui_station gui_common station command_line command_line_tressel line_report startup drive_link files
    terminal_text)
set(may_include_programs programs command_line command_line_morvane command_line_tressel
    command_line_link_test startup drive_link d2xx config_tool tuning flasher
    gui_common gui_morvane gui_tressel gui_station files)
# The tuning assistant is plain C++: nothing of ours but itself, and no Qt.
set(may_include_tuning tuning)
set(product_folders files terminal_text d2xx drive_sim drive_link startup config_tool tuning flasher
    command_line command_line_morvane command_line_tressel
    command_line_link_test line_report station gui_common gui_response gui_morvane gui_tressel gui_station
    programs)
# The floors below the windows: none of them includes a Qt Widgets header or a generated form.
set(widgetless_folders files terminal_text d2xx drive_sim drive_link config_tool tuning flasher
    command_line command_line_morvane command_line_tressel command_line_link_test line_report station)
set(widget_header "^[ \t]*#[ \t]*include[ \t]*[<\"](QtWidgets|Q(Widget|Dialog|MessageBox|MainWindow|Application|AbstractButton|PushButton|Label|LineEdit|SpinBox|DoubleSpinBox|CheckBox|ComboBox|FileDialog|ProgressBar|StatusBar|Layout|BoxLayout|GridLayout|TableWidget|TreeWidget|Style)[>\"]|ui_[a-z_]+\\.h)")

# Only these may speak frames on the link or name the drive's command codes.
set(wire_folders drive_link drive_sim)

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h")
list(FILTER sources EXCLUDE REGEX "^build|/build|^\\.")

# A source's room: its top folder, but for the rooms that sit inside another folder.
function(room_of source result)
    if(source MATCHES "^config_tool/tuning/")
        set(${result} tuning PARENT_SCOPE)
    elseif(source MATCHES "^command_line/line_report/")
        set(${result} line_report PARENT_SCOPE)
    elseif(source MATCHES "^command_line/([^/]+)/")
        set(${result} command_line_${CMAKE_MATCH_1} PARENT_SCOPE)
    elseif(source MATCHES "^gui/([^/]+)/")
        set(${result} gui_${CMAKE_MATCH_1} PARENT_SCOPE)
    else()
        string(REGEX MATCH "^[^/]+" top "${source}")
        set(${result} ${top} PARENT_SCOPE)
    endif()
endfunction()

# The room of every header, by its file name.
foreach(source IN LISTS sources)
    get_filename_component(name "${source}" NAME)
    room_of("${source}" folder)
    set_property(GLOBAL APPEND PROPERTY "home_of_${name}" "${folder}")
endforeach()

set(faults "")
foreach(source IN LISTS sources)
    room_of("${source}" folder)
    if(NOT folder IN_LIST product_folders)
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${source}" lines)
    foreach(line IN LISTS lines)
        if(line MATCHES "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\"")
            get_filename_component(header "${CMAKE_MATCH_1}" NAME)
            get_property(homes GLOBAL PROPERTY "home_of_${header}")
            foreach(home IN LISTS homes)
                if(NOT home IN_LIST may_include_${folder})
                    list(APPEND faults "${source} includes ${header} of ${home}/")
                endif()
            endforeach()
        endif()
        if(folder IN_LIST widgetless_folders AND line MATCHES "${widget_header}")
            list(APPEND faults "${source} includes a widget header: ${line}")
        endif()
        if(folder STREQUAL "tuning" AND line MATCHES "^[ \t]*#[ \t]*include[ \t]*<Q")
            list(APPEND faults "${source} includes Qt: ${line}")
        endif()
        if(NOT folder IN_LIST wire_folders)
            if(line MATCHES "[^A-Za-z_](transact|exchangeFrame|sendNoOp)[ \t]*\\("
               OR line MATCHES "ferrox_command::|namespace[ \t]+(ferrox_command|bootloader)[ \t]*;"
               OR line MATCHES "bootloader::k(NoOp|Setup|Erase|Version|ProgramPacket|DataWord|Verify|FaultBits)[^A-Za-z]")
                list(APPEND faults "${source} talks to the drive below its operations: ${line}")
            endif()
        endif()
        if(line MATCHES "dup2[ \t]*\\(.*STDOUT_FILENO")
            list(APPEND faults "${source} redirects standard output: ${line}")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n  " listed)
    message(FATAL_ERROR "Layering broken:\n  ${listed}")
endif()
list(LENGTH sources count)
message(STATUS "Layering holds in ${count} files")
