import QtQuick
import Kavrano.Ui
import Kavrano.Platform
import Kavrano.Measure.Controllers

// The measuring screen: the satellite map full-bleed, the place search across
// the top, round buttons floating over the map and the status in a panel near
// the bottom. The app puts the map, which draws its imagery's credit in the
// bottom corner, into `mapContainer`. It is the first screen of every start, so
// it is plain Qt Quick: no controls module is loaded before the first frame.
Item {
    id: root

    required property MapMeasureViewController controller
    property QuickSearchPresentation searchPresentation: null

    property string title: "Measure"

    // The keyboard rests on the map (which the app puts in mapContainer) while
    // nothing else asks for it.
    function focusMap() {
        if (mapContainer.children.length > 0)
            mapContainer.children[0].forceActiveFocus(Qt.OtherFocusReason)
    }
    onEnabledChanged: if (enabled && !results.open) focusMap()

    // What the map and the buttons leave: Ctrl+F or / to search, Escape out of it.
    Keys.onPressed: (event) => {
        const plain = (event.modifiers & ~(Qt.ShiftModifier | Qt.KeypadModifier)) === 0
        if ((event.key === Qt.Key_F && event.modifiers === Qt.ControlModifier) || (event.key === Qt.Key_Slash && plain)) {
            searchField.forceActiveFocus(Qt.ShortcutFocusReason)
            searchField.selectAll()
            searchField.search()
        } else if (event.key === Qt.Key_Escape && results.open) {
            cancelButton.clicked()
        } else {
            event.accepted = false
            return
        }
        event.accepted = true
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.mapBackground
    }

    Item {
        id: mapContainer
        objectName: "mapContainer"
        anchors.fill: parent
    }

    // Legible over bright fields and dark forests alike.
    Rectangle {
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 120
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.rgba(0, 0, 0, 0.35) }
            GradientStop { position: 1; color: "transparent" }
        }
    }

    Loader {
        id: results
        objectName: "searchResults"
        // The results' own top inset clears the bar, which floats over them.
        anchors.fill: parent
        readonly property bool open: root.searchPresentation !== null && root.searchPresentation.active
        property bool used: false   // made at the first search, not at start
        onOpenChanged: {
            if (open && !used) {
                used = true
                setSource(Qt.resolvedUrl("SearchViewController.qml"), { controller: root.controller.searchController })
            }
            // A closed search keeps its text but not the keyboard: tapping the
            // field again reopens the results for that text.
            if (!open) {
                searchField.focus = false
                root.focusMap()
            }
        }
        visible: opacity > 0
        opacity: open ? 1 : 0
        Behavior on opacity {
            NumberAnimation { duration: root.searchPresentation ? root.searchPresentation.closingDuration : 250 }
        }
    }

    Rectangle {
        id: searchBar
        objectName: "searchContainer"
        anchors { left: parent.left; right: parent.right; top: parent.top; margins: 12; topMargin: 16 }
        height: 48
        radius: 24
        color: Theme.glass
        border.color: Qt.rgba(0, 0, 0, 0.08)

        TintedIcon {
            id: searchIcon
            anchors { left: parent.left; leftMargin: 16; verticalCenter: parent.verticalCenter }
            width: 18
            height: 18
            source: Qt.resolvedUrl("icons/search.svg")
            color: Theme.ink
            opacity: 0.55
            Accessible.ignored: true
        }
        TextInput {
            id: searchField
            objectName: "searchField"
            // The whole bar takes the touch.
            anchors { left: searchIcon.right; right: cancelButton.visible ? cancelButton.left : parent.right
                      top: parent.top; bottom: parent.bottom; leftMargin: 8; rightMargin: 12 }
            verticalAlignment: TextInput.AlignVCenter
            readonly property string placeholderText: root.controller.searchPlaceholder
            clip: true
            activeFocusOnTab: true
            Accessible.role: Accessible.EditableText
            Accessible.name: root.controller.searchPlaceholder
            font.pixelSize: 16
            color: Theme.ink
            selectionColor: Qt.rgba(0.12, 0.53, 0.9, 0.3)
            selectedTextColor: Theme.ink
            inputMethodHints: Qt.ImhNoPredictiveText
            Text {
                anchors.fill: parent
                verticalAlignment: Text.AlignVCenter
                text: searchField.placeholderText
                font: searchField.font
                color: Qt.rgba(0.11, 0.11, 0.12, 0.45)
                elide: Text.ElideRight
                visible: searchField.length === 0 && searchField.preeditText === ""
                Accessible.ignored: true
            }
            function search() {
                if (root.searchPresentation)
                    root.searchPresentation.active = true
                root.controller.searchController.updateSearchResults(text)
            }
            // A touch on the field opens the results at once; reached with Tab, the
            // field waits for typing, so that Tab goes on to the buttons.
            TapHandler {
                id: fieldPress
                onPressedChanged: if (pressed && searchField.activeFocus && !results.open) searchField.search()
            }
            onActiveFocusChanged: if (activeFocus && fieldPress.pressed) search()
            onTextEdited: search()
        }
        PlainButton {
            id: cancelButton
            objectName: "searchCancelButton"
            anchors { right: parent.right; top: parent.top; bottom: parent.bottom; rightMargin: 6 }
            width: cancelText.implicitWidth + 20
            visible: results.open
            readonly property string text: "Cancel"
            Accessible.name: text
            Text {
                id: cancelText
                anchors.fill: parent
                text: cancelButton.text
                font.pixelSize: 16   // as the field's: one font less at start
                color: Theme.tint
                opacity: cancelButton.down ? 0.5 : 1
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                Accessible.ignored: true
            }
            onClicked: {
                searchField.text = ""
                searchField.focus = false
                root.searchPresentation.active = false
            }
        }
    }

    Column {
        anchors { right: parent.right; top: searchBar.bottom; rightMargin: 12; topMargin: 16 }
        spacing: 12
        visible: !results.open

        MapButton {
            objectName: "loadButton"
            iconSource: Qt.resolvedUrl("icons/list.svg")
            Accessible.name: "My measurements"
            onClicked: root.controller.loadTapped()
        }
        MapButton {
            objectName: "settingsButton"
            iconSource: Qt.resolvedUrl("icons/gear.svg")
            Accessible.name: "Settings"
            onClicked: root.controller.settingsTapped()
        }
        MapButton {
            objectName: "focusOnLocationButton"
            readonly property bool following: root.controller.following
            iconSource: Qt.resolvedUrl("icons/" + root.controller.focusIcon + ".svg")
            tint: following ? Theme.accent : Theme.ink
            Accessible.name: following ? "Stop following my position" : "Follow my position"
            onClicked: root.controller.locationTapped()
        }
    }

    Item {
        id: bottomRow
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom; margins: 12; bottomMargin: 26 }
        height: statusPanel.height
        visible: !results.open

        // A disabled button still covers the map: a tap on it places no point.
        MouseArea {
            anchors.fill: clearButton
            enabled: !clearButton.enabled
        }
        MapButton {
            id: clearButton
            objectName: "clearButton"
            anchors { left: parent.left; verticalCenter: parent.verticalCenter }
            iconSource: Qt.resolvedUrl("icons/trash.svg")
            fill: root.controller.clearBackground
            tint: "white"
            enabled: root.controller.clearEnabled
            Accessible.name: "Clear all points"
            onClicked: root.controller.clearTapped()
        }

        Rectangle {
            id: statusPanel
            objectName: "statusPanel"
            anchors { left: parent.left; right: parent.right; leftMargin: 58; rightMargin: 58 }
            height: Math.max(48, areaLabel.implicitHeight + 20)
            radius: 16
            color: Theme.statusPanel
            border.color: Qt.rgba(1, 1, 1, 0.12)

            Text {
                id: areaLabel
                objectName: "areaLabel"
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                text: root.controller.areaText
                color: "white"
                // The search field's font: no font of its own to load at start,
                // and the first text fits without a search for a smaller size.
                font.pixelSize: 16
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                // One line: long texts shrink a little rather than wrap.
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 11
                elide: Text.ElideRight
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }

        MapButton {
            objectName: "saveButton"
            anchors { right: parent.right; verticalCenter: parent.verticalCenter }
            iconSource: Qt.resolvedUrl("icons/save.svg")
            Accessible.name: "Save measurement"
            onClicked: root.controller.saveTapped()
        }
    }
}
