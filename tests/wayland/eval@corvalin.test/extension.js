// Test sessions only: the shell refuses org.gnome.Shell.Eval outside unsafe
// mode, and the tests need it to activate windows the way a user's click
// would.  Never shipped.
'use strict';

function init() {
    return {
        enable() { global.context.unsafe_mode = true; },
        disable() { global.context.unsafe_mode = false; },
    };
}
