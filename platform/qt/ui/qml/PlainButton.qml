import QtQuick

// A pressable area that says it is a button: pressed by touch, mouse, the
// keyboard (space, return) and assistive technology. The screens shown at start
// use it instead of the controls module, which would cost a third of the start.
Item {
    id: button

    signal clicked()
    readonly property bool down: tap.pressed

    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.focusable: true
    Accessible.onPressAction: if (button.enabled) button.clicked()
    Keys.onSpacePressed: button.clicked()
    Keys.onReturnPressed: button.clicked()

    MouseArea {
        id: tap
        anchors.fill: parent
        onClicked: button.clicked()
    }
}
