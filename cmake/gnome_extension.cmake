# Makes one form of our GNOME Shell extension from its one source:
#   cmake -DSOURCE=<dir> -DOUTPUT=<dir> -DFORM=43|45 -DCOMPILE_SCHEMAS=<glib-compile-schemas>
#         -P gnome_extension.cmake
# 45: the ES module as it stands (GNOME 45 and later).  43: the same code as
# GNOME 43 and 44 load it: gi modules through `imports`, a plain class, and
# an init() that makes it.
file(READ "${SOURCE}/extension.js" code)
file(READ "${SOURCE}/metadata.json.in" metadata)
if(FORM STREQUAL "45")
  set(versions "\"45\", \"46\", \"47\", \"48\"")
elseif(FORM STREQUAL "43")
  set(versions "\"43\", \"44\"")
  set(module_header "import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';

import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
")
  set(legacy_header "'use strict';

const { Gio, GLib } = imports.gi;
const Meta = imports.gi.Meta;
const Shell = imports.gi.Shell;

const Main = imports.ui.main;
")
  set(module_class "export default class FocusReporter extends Extension {")
  foreach(part module_header module_class)
    string(FIND "${code}" "${${part}}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${SOURCE}/extension.js: ${part} not found; update ${CMAKE_CURRENT_LIST_FILE}")
    endif()
  endforeach()
  string(REPLACE "${module_header}" "${legacy_header}" code "${code}")
  # The folder an Extension knows as this.dir.
  string(REPLACE "${module_class}" "class FocusReporter {
    constructor() {
        this.dir = imports.misc.extensionUtils.getCurrentExtension().dir;
    }
" code "${code}")
  string(APPEND code "
function init() {
    return new FocusReporter();
}
")
else()
  message(FATAL_ERROR "FORM must be 43 or 45")
endif()
string(REPLACE "@SHELL_VERSIONS@" "${versions}" metadata "${metadata}")
file(MAKE_DIRECTORY "${OUTPUT}/schemas")
file(WRITE "${OUTPUT}/extension.js" "${code}")
file(WRITE "${OUTPUT}/metadata.json" "${metadata}")
# The key binding's settings schema, shipped compiled with the extension.
file(GLOB schemas "${SOURCE}/schemas/*.gschema.xml")
file(COPY ${schemas} DESTINATION "${OUTPUT}/schemas")
execute_process(COMMAND "${COMPILE_SCHEMAS}" --strict "${OUTPUT}/schemas" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "glib-compile-schemas failed on ${OUTPUT}/schemas")
endif()
