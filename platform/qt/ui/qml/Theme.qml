pragma Singleton
import QtQuick

// The product's colours and sizes, for every view: one place to change the look.
// Sizes are points (device-independent pixels).
QtObject {
    // Text and tints.
    readonly property color ink: "#1c1c1e"                 // body text on light surfaces
    readonly property color secondaryInk: "#3a3a3c"        // a message under a title
    readonly property color footnoteInk: "#6c6c70"         // footnotes, empty-state text
    readonly property color tint: "#1e88e5"                // links and the bar's buttons
    readonly property color accent: "#0a84ff"              // focus rings, the followed position
    readonly property color checkMark: "#007aff"
    readonly property color destructive: "#ff3b30"         // delete
    readonly property color switchOn: "#2196f3"
    readonly property color switchOff: "#d1d1d6"
    readonly property color disabledFill: "#c7c7cc"
    readonly property color separator: "#c7c7cc"

    // Surfaces.
    readonly property color groupedBackground: "#f2f2f7"   // behind tables
    readonly property color rowPressed: "#e5e5ea"
    readonly property color card: "#fbfbfd"                // alerts and the feedback form
    readonly property color cardBorder: "#22000000"
    readonly property color dimming: "#66000000"           // over the screen under a card
    readonly property color glass: Qt.rgba(1, 1, 1, 0.92)   // controls floating over imagery
    readonly property color bar: Qt.rgba(0.97, 0.97, 0.98, 0.94)
    readonly property color hairline: Qt.rgba(2 / 3, 2 / 3, 2 / 3, 0.5)
    readonly property color mapBackground: "#20262b"        // before the first tile
    readonly property color statusPanel: Qt.rgba(0.08, 0.09, 0.1, 0.72)

    // Sizes.
    readonly property real touchTarget: 44                  // the least a finger hits reliably
    readonly property real mapButtonSize: 48
    readonly property real barHeight: 52
    readonly property real rowHeight: 52
    readonly property real cornerRadius: 16                 // cards and panels
    readonly property real buttonRadius: 10

    // Type sizes.
    readonly property int bodySize: 17
    readonly property int fieldSize: 16
    readonly property int messageSize: 14
    readonly property int footnoteSize: 13
}
