<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>ExitServer</source>
        <translation>Exit server</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>MachineCode</source>
        <translation>Device code</translation>
    </message>
    <message>
        <source>CheckUpdate</source>
        <translation>Check update</translation>
    </message>
    <message>
        <source>ServerName</source>
        <translation>Server name</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Tips</translation>
    </message>
    <message>
        <source>MachineCodeIs</source>
        <translation>Your current device code is</translation>
    </message>
    <message>
        <source>UseNewestVersion</source>
        <translation>You are using the latest version</translation>
    </message>
    <message>
        <source>ConnectFailed</source>
        <translation>Server connection failed, please check network or change server address</translation>
    </message>
    <message>
        <source>LowPermission</source>
        <translation>Device cannot log in because of setting security permission, please contact the administrator</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>TransferLog</source>
        <translation>System Log</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>SelectAll</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>SaveAs</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>OriginalFile</source>
        <translation>Page original document</translation>
    </message>
    <message>
        <source>FindNewVerIsDown</source>
        <translation>Find a new version, download it?</translation>
    </message>
    <message>
        <source>CheckUpdateFailed</source>
        <translation>Check update failed</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>AutoStart</source>
        <translation>Start up automatically when system starts</translation>
    </message>
    <message>
        <source>MiniTray</source>
        <translation>Minimize to system tray when window closed</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>ConnectNewServer</source>
        <translation>Connect to the new server</translation>
    </message>
    <message>
        <source>ServerAddress</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>ServerAlias</source>
        <translation>Alias</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>SelectServer</source>
        <translation>Select Server</translation>
    </message>
    <message>
        <source>BrowserModel</source>
        <translation>Now you can use Tessel via browser, if you prefer to access Tessel via client application,</translation>
    </message>
    <message>
        <source>BrowserModelPavo</source>
        <translation>Now you can use Pavo via browser, if you prefer to access Pavo via client application,</translation>
    </message>
    <message>
        <source>ExitBrowserModel</source>
        <translation>please click here</translation>
    </message>
    <message>
        <source>SwitchModelTip</source>
        <translation>Click OK will stop active transmission tasks on the browser, and switch to client app login. Continue?</translation>
    </message>
    <message>
        <source>SetDefaultServer</source>
        <translation>Set as default server</translation>
    </message>
    <message>
        <source>UserManual</source>
        <translation>User Manual(pdf)</translation>
    </message>
    <message>
        <source>Tutorial</source>
        <translation>Tutorial</translation>
    </message>
    <message>
        <source>ProxyLogin</source>
        <translation>Proxy login</translation>
    </message>
    <message>
        <source>ProxyAsksForLogin</source>
        <translation>The proxy %1 asks for a user name and password.</translation>
    </message>
    <message>
        <source>ProxyUser</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>ProxyPassword</source>
        <translation>Password</translation>
    </message>
</context>
<context>
    <name>Transfers</name>
    <message>
        <source>RunningTransfers</source>
        <translation>Running: %1, done: %2%</translation>
    </message>
    <message>
        <source>TransferDone</source>
        <translation>Transfer finished</translation>
    </message>
    <message>
        <source>TransferFailed</source>
        <translation>Transfer failed</translation>
    </message>
    <message>
        <source>ShowFile</source>
        <translation>Show in folder</translation>
    </message>
    <message>
        <source>ServiceUnreachable</source>
        <translation>The portal in a web browser cannot reach this client: port %1 on this computer is taken by another program.</translation>
    </message>
</context>
<context>
    <name>Certificates</name>
    <message>
        <source>CertificateChanged</source>
        <translation>Certificate changed</translation>
    </message>
    <message>
        <source>CertificateChangedQuestion</source>
        <translation>The certificate of %1 is not the one trusted before. Someone on the network may be posing as the server. Trust the new certificate only if the server's administrator says it was replaced.</translation>
    </message>
    <message>
        <source>TrustedBefore</source>
        <translation>Trusted before: %1</translation>
    </message>
    <message>
        <source>PresentedNow</source>
        <translation>Presented now: %1</translation>
    </message>
    <message>
        <source>ValidFromUntil</source>
        <translation>Valid from %1 until %2</translation>
    </message>
    <message>
        <source>Issuer</source>
        <translation>Issued by: %1</translation>
    </message>
    <message>
        <source>TrustNewCertificate</source>
        <translation>Trust the new certificate</translation>
    </message>
    <message>
        <source>NotLoadedCertificateChanged</source>
        <translation>%1 was not loaded: its certificate changed. Open the client to decide whether to trust it.</translation>
    </message>
</context>
<context>
    <name>Accessible</name>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>DeleteServer</source>
        <translation>Delete server</translation>
    </message>
    <message>
        <source>SavedServers</source>
        <translation>Saved servers</translation>
    </message>
</context>
</TS>
